#pragma once

#include "richtext/RichTextEditorWrapper.h"
#include "rtf/Rtf.h"
#include "ui/Fonts.h"

#include <QTextDocument>
#include <QTextEdit>

#include <optional>

namespace benchbare {

// The baseline of the typing benchmarks: a bare QTextEdit holding what the editor holds (the stored RTF
// with its formats, else the plain text), in the editor's font and margin, at the editor's width, so that
// a ratio compares the same text laid out alike. The text is read into a document of its own, handed to
// the view afterwards: read into a view's laid-out document, the same text types markedly slower.
inline void holdLikeTheEditor(QTextEdit& bare, const QString& text, const std::optional<QByteArray>& rtf, int width,
                              int height) {
    auto* doc = new QTextDocument(&bare);
    if (!rtf || !rtf::read(*rtf, *doc))
        doc->setPlainText(text);
    doc->setDefaultFont(Fonts::system(14));
    doc->setDocumentMargin(RichTextEditorWrapper::inset);
    doc->clearUndoRedoStacks();
    bare.setDocument(doc);
    bare.setFont(Fonts::system(14));
    bare.setFrameShape(QFrame::NoFrame);
    bare.resize(width, height);
}

} // namespace benchbare
