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
        auto c = std::make_shared<Checklist>(QUuid::createUuid(), name, std::nullopt, "checklist",
                                             QStringLiteral("blue"), std::nullopt, std::nullopt, epoch(), epoch(),
                                             std::nullopt, p);
        ctx().insert(c);
        return c;
    }
    ChecklistColumnPtr column(const ChecklistPtr& c, const QString& name, int index, bool hidden = false) {
        auto col = std::make_shared<ChecklistColumn>(QUuid::createUuid(), name, "flag.fill", std::nullopt,
                                                     std::nullopt, index, std::nullopt, epoch(), epoch(),
                                                     hidden ? OptDate(epoch()) : std::nullopt, c);
        ctx().insert(col);
        return col;
    }
    ChecklistCardPtr card(const ChecklistColumnPtr& col, const QString& title, int index, bool hidden = false,
                          OptText notes = std::nullopt) {
        auto card = std::make_shared<ChecklistCard>(QUuid::createUuid(), title, notes, index, std::nullopt, epoch(),
                                                    epoch(), hidden ? OptDate(epoch()) : std::nullopt, col);
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

    // Sends a drag over `target` at `pos` the way the window system does: enter, move, then drop.
    // Without the drop the drag stays over `target`: end it with leave(target). The event loop is not run.
public:
    static bool dragTo(QWidget* target, QPoint pos, QMimeData* mime, bool drop = true) {
        QDragEnterEvent enter(pos, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(pos, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        if (!drop)
            return move.isAccepted();
        QDropEvent dropEvent(QPointF(pos), Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
        return dropEvent.isAccepted();
    }
public:
    static void leave(QWidget* target) {
        QDragLeaveEvent e;
        QApplication::sendEvent(target, &e);
    }

protected:
    testsupport::TestServices env;
    std::unique_ptr<ChecklistDetailView> view;
};
