#pragma once

#include <QTextEdit>
#include <string>
#include <string_view>

namespace corvid {

// A read-only rich-text box that shows an RTF document: the document is read into
// coloured text runs and each run is shown in its colour, in a fixed-pitch font
// with the document's tab stops. Lines are not wrapped; both scroll bars appear
// as the text needs them.
class CRtfTextView : public QTextEdit {
    Q_OBJECT
public:
    explicit CRtfTextView(QWidget* parent = nullptr);

    // Replaces the shown text by the document.
    void SetRtf(std::string_view rtf);

    // Bytes of a document as text: UTF-8 when they are valid UTF-8, otherwise one
    // character per byte (the 8-bit character set the server texts come in).
    static QString DecodeText(std::string_view bytes);
};

}  // namespace corvid
