#include "printing/RecordingTarget.h"

#include "printing/PrintError.h"

#include <QList>

#include <cmath>

namespace printing {

RecordingTarget::Op RecordingTarget::Make(Op::Kind kind) const {
    Op op{kind};
    op.fontName = FontName;
    op.fontSize = FontSize;
    op.bold = FontBold;
    op.italic = FontItalic;
    return op;
}

double RecordingTarget::TextWidth(const QString& text) {
    const double perChar = FontSize * 10 * (FontBold ? 1.1 : 1.0); // 20 twips a point
    return std::round(text.toUcs4().size() * perChar);
}

double RecordingTarget::TextHeight(const QString&) { return std::round(FontSize * 24); }

void RecordingTarget::DrawText(double x, double y, const QString& text) {
    Op op = Make(Op::Text);
    op.x = x;
    op.y = y;
    op.text = text;
    ops.push_back(op);
}

void RecordingTarget::Cls() {
    ops.push_back(Make(Op::Cls));
    CurrentX = CurrentY = 0;
}

void RecordingTarget::NewPage() {
    if (failNewPage) throw PrintError(kPrinterFailed, "Pogreška pisača.");
    ops.push_back(Make(Op::NewPage));
    CurrentX = CurrentY = 0;
}

void RecordingTarget::EndDoc() {
    ops.push_back(Make(Op::EndDoc));
    CurrentX = CurrentY = 0;
}

void RecordingTarget::Line(int option, double x1, double y1, double x2, double y2, unsigned rgb) {
    Op op = Make(Op::Line);
    op.option = option;
    op.x = x1;
    op.y = y1;
    op.x2 = x2;
    op.y2 = y2;
    op.rgb = rgb;
    ops.push_back(op);
}

std::vector<RecordingTarget::Op> RecordingTarget::Texts() const {
    std::vector<Op> out;
    for (const Op& op : ops)
        if (op.kind == Op::Text) out.push_back(op);
    return out;
}

int RecordingTarget::Pages() const {
    int pages = 0;
    bool open = false;
    for (const Op& op : ops) {
        if (op.kind == Op::Text || op.kind == Op::Line) {
            if (!open) ++pages;
            open = true;
        } else if (op.kind == Op::NewPage) {
            if (!open) ++pages; // an empty sheet still comes out
            open = false;
        }
    }
    return pages;
}

} // namespace printing
