#pragma once

// A board over a private store, shown offscreen, with builders for its checklist.

#include "board/BoardColumns.h"
#include "board/CardTile.h"
#include "board/ChecklistDetailView.h"
#include "checklists/ChecklistEdits.h"
#include "checklists/ChecklistLogic.h"
#include "core/store/ModelContext.h"
#include "support/TestServices.h"
#include "ui/DialogSeam.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        DialogSeam::setNonInteractive(true);
        DialogSeam::reset();
    }
    void TearDown() override {
        view.reset();
        testsupport::flushEvents();
        DialogSeam::reset();
    }

    ModelContext& ctx() { return env.context(); }
    ChecklistEdits edits() { return ChecklistEdits(ctx()); }

    ChecklistPtr checklist(const QString& name, const ProjectPtr& p = nullptr) {
        auto c = std::make_shared<Checklist>(ChecklistFields{.name = name,
                                                             .iconName = "checklist",
                                                             .colorKey = QStringLiteral("blue"),
                                                             .createdAt = epoch(),
                                                             .updatedAt = epoch(),
                                                             .project = p});
        ctx().insert(c);
        return c;
    }
    ChecklistColumnPtr column(const ChecklistPtr& c, const QString& name, int index, bool hidden = false) {
        auto col = std::make_shared<ChecklistColumn>(
            ChecklistColumnFields{.name = name,
                                  .iconName = "flag.fill",
                                  .orderIndex = index,
                                  .createdAt = epoch(),
                                  .updatedAt = epoch(),
                                  .deletedAt = hidden ? OptDate(epoch()) : std::nullopt,
                                  .checklist = c});
        ctx().insert(col);
        return col;
    }
    ChecklistCardPtr card(const ChecklistColumnPtr& col, const QString& title, int index, bool hidden = false,
                          OptText notes = std::nullopt) {
        auto card =
            std::make_shared<ChecklistCard>(ChecklistCardFields{.title = title,
                                                                .notes = notes,
                                                                .orderIndex = index,
                                                                .createdAt = epoch(),
                                                                .updatedAt = epoch(),
                                                                .deletedAt = hidden ? OptDate(epoch()) : std::nullopt,
                                                                .column = col});
        ctx().insert(card);
        return card;
    }
    static QDateTime epoch() { return QDateTime(QDate(2025, 1, 1), QTime(8, 0), Qt::UTC); }

    ChecklistDetailView* show(const ChecklistPtr& c) {
        view = std::make_unique<ChecklistDetailView>(env.services(), c, [] {});
        view->resize(1400, 900);
        view->show();
        testsupport::flushEvents();
        return view.get();
    }

    static QStringList titles(const ChecklistColumnPtr& col) {
        QStringList out;
        for (const auto& c : ChecklistLogic::sortedCards(*col))
            out << c->title();
        return out;
    }
    QStringList columnNames() const {
        QStringList out;
        for (const auto& c : ChecklistLogic::sortedColumns(*view->checklist()))
            out << c->name();
        return out;
    }

public:
    // A drag over one window as the window system delivers it: the window gets one enter where the
    // pointer comes in, then a move for every position, then a drop or a leave; Qt's own routing
    // finds the widget under the pointer. The event loop is not run.
    class WindowDrag {
    public:
        WindowDrag(QWidget* window, const QMimeData* mime) : m_window(window->window()), m_mime(mime) {}
        ~WindowDrag() {
            if (m_inside)
                leave();
        }
        // Moves the pointer over `pos` of `over`; whether a drop would be taken there.
        bool move(QWidget* over, QPoint pos) {
            m_pos = over->mapTo(m_window, pos);
            QWindow* w = m_window->windowHandle();
            if (!m_inside) {
                m_inside = true;
                QDragEnterEvent enter(m_pos, Qt::MoveAction, m_mime, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(w, &enter);
                m_action = enter.isAccepted() ? enter.dropAction() : Qt::IgnoreAction;
            }
            QDragMoveEvent move(m_pos, Qt::MoveAction, m_mime, Qt::LeftButton, Qt::NoModifier);
            if (m_action != Qt::IgnoreAction) {
                move.setDropAction(m_action);
                move.accept();
            }
            QApplication::sendEvent(w, &move);
            m_action = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
            return move.isAccepted();
        }
        // Releases the button where the pointer is.
        bool drop() {
            m_inside = false;
            QDropEvent e(QPointF(m_pos), Qt::MoveAction, m_mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_window->windowHandle(), &e);
            return e.isAccepted();
        }
        // The pointer leaves the window, or Escape.
        void leave() {
            m_inside = false;
            QDragLeaveEvent e;
            QApplication::sendEvent(m_window->windowHandle(), &e);
        }

    private:
        QWidget* m_window;
        const QMimeData* m_mime;
        QPoint m_pos;
        bool m_inside = false;
        Qt::DropAction m_action = Qt::IgnoreAction;
    };

    // A drag that comes into the window over `target` at `pos` and is released there.
    static bool dragTo(QWidget* target, QPoint pos, const QMimeData* mime) {
        WindowDrag drag(target, mime);
        drag.move(target, pos);
        return drag.drop();
    }

protected:
    testsupport::TestServices env;
    std::unique_ptr<ChecklistDetailView> view;
};
