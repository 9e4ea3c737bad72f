#pragma once
#include "printing/DrawingTarget.h"

#include <vector>

namespace printing {

// A target that draws nothing and remembers everything, with metrics that depend only on
// the text and the font size, so layouts can be checked exactly.
class RecordingTarget : public DrawingTarget {
public:
    struct Op {
        enum Kind { Text, Cls, NewPage, EndDoc, Line } kind;
        double x = 0, y = 0, x2 = 0, y2 = 0;
        QString text{};
        QString fontName{};
        double fontSize = 0;
        bool bold = false, italic = false;
        int option = 0;
        unsigned rgb = 0;
    };
    std::vector<Op> ops;
    DeviceCaps caps{600, 600, 100, 120};
    bool failNewPage = false; // simulates a printer that stops answering

    // Half an em per character (a tenth more in bold), 1.2 em a line.
    double TextWidth(const QString& text) override;
    double TextHeight(const QString& text) override;
    void Cls() override;
    void NewPage() override;
    void EndDoc() override;
    void Line(int option, double x1, double y1, double x2, double y2, unsigned rgb) override;
    DeviceCaps Caps() const override { return caps; }
    QSizeF printable{11906, 16838}; // an A4 sheet with no unprintable strip
    QSizeF PrintableSize() const override { return printable; }

    std::vector<Op> Texts() const; // only the drawn texts, in order
    int Pages() const;            // sheets begun so far

protected:
    void DrawText(double x, double y, const QString& text) override;

private:
    Op Make(Op::Kind kind) const;
};

} // namespace printing
