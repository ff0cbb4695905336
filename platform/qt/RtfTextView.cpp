#include "platform/qt/RtfTextView.h"

#include <QFontDatabase>
#include <QTextCharFormat>
#include <QTextCursor>

#include "platform/RtfReader.h"

namespace corvid {

namespace {

// The documents set their tab stops every 360 twips (a quarter inch).
constexpr double kTabStopInches = 360.0 / 1440.0;

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        // The length of the sequence and the range of its second byte, which rules
        // out overlong forms, surrogates and values beyond U+10FFFF.
        int follow = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + follow >= bytes.size()) return false;
        const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < low || second > high) return false;
        for (int k = 2; k <= follow; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        i += follow + 1;
    }
    return true;
}

}  // namespace

CRtfTextView::CRtfTextView(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
    setLineWrapMode(QTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    setFont(font);
    setTabStopDistance(logicalDpiX() * kTabStopInches);
}

QString CRtfTextView::DecodeText(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void CRtfTextView::SetRtf(std::string_view rtf) {
    const RtfDocument document = CRtfReader::Read(rtf);
    // One decision for the whole document, so that a run never splits a character.
    const bool utf8 = IsValidUtf8(document.PlainText());
    clear();
    QTextCursor cursor(this->document());
    for (const RtfRun& run : document.m_Runs) {
        QTextCharFormat format;
        if (!run.m_Color.m_Auto) {
            format.setForeground(QColor(run.m_Color.m_Red, run.m_Color.m_Green, run.m_Color.m_Blue));
        }
        const QString text = utf8 ? QString::fromUtf8(run.m_Text.data(), static_cast<qsizetype>(run.m_Text.size()))
                                  : QString::fromLatin1(run.m_Text.data(), static_cast<qsizetype>(run.m_Text.size()));
        cursor.insertText(text, format);
    }
    moveCursor(QTextCursor::Start);
}

}  // namespace corvid
