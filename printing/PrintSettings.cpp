#include "printing/PrintSettings.h"

#include "core/Module1.h"
#include "db/TableRecordset.h"
#include "ui/MsgBox.h"
#include "ui/Twips.h"
#include "ui/Widgets.h"
#include "printing/Layout.h"
#include "printing/PrinterSelection.h"
#include "printing/PrinterTools.h"
#include "printing/QtTargets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include <cmath>

using ui::MsgBox;
using ui::Put;
using ui::Px;
using ui::Twips;
using Module1::Settings;

namespace {

// A group: its container, the framing rectangle and the heading on the frame's top edge.
QWidget* Group(QWidget* page, int yOffset, const char* name, QRect at, const char* shape) {
    auto* box = Put<QWidget>(page, name, at.translated(0, -yOffset));
    ui::Outline(box, shape, QRect(0, Px(120), box->width(), box->height() - Px(120)));
    return box;
}

QLineEdit* Heading(QWidget* box, const char* name, const char* text, QRect at) {
    box->setAccessibleName(QString::fromUtf8(text)); // the group is known by its heading
    return ui::HeadingBox(box, name, QString::fromUtf8(text), at, box->width() - at.left() - 4);
}

} // namespace

QString FontNameForSettings(const QString& chosen) {
    if (chosen == "Courier New" || chosen == "Arial" || chosen == "Times New Roman") return chosen + " CE";
    return chosen;
}

PrintSettingsWindow::PrintSettingsWindow(QWidget* parent) : QDialog(parent) {
    ui::SetUpDialog(this, "Form8", "Vokabis", 6510, 4695);
    // The densest window of the program: its groups were drawn for an 8-point font.
    QFont small = font();
    small.setPointSizeF(std::min(small.pointSizeF(), 8.0));
    setFont(small);
    locale_ = QLocale();
    locale_.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);

    optTab = Put<QTabWidget>(this, "optTab", Twips(120, 120, 6285, 3975));
    optTab->setAccessibleName("Postavke ispisa");
    auto* sortiranje = new QWidget;
    auto* pisac = new QWidget;
    opcije_ = new QWidget;
    optTab->addTab(sortiranje, "Sortiranje");
    optTab->addTab(pisac, QString::fromUtf8("Pisač"));
    optTab->addTab(opcije_, "Opcije");
    // Positions are given from the tab control's corner; the pages start below the tab strip.
    const int y0 = optTab->tabBar()->sizeHint().height() + 2;

    cmdPrihvati = Put<QPushButton>(this, "cmdPrihvati", Twips(120, 4200, 1095, 375), "Prihvati");
    cmdIzlaz = Put<QPushButton>(this, "cmdIzlaz", Twips(5280, 4200, 1095, 375), "Izlaz");
    BuildSortPage(sortiranje, y0);
    BuildPrinterPage(pisac, y0);
    BuildOptionsPage(y0);
    FitAndDescribe();

    // The order Tab visits the controls, page by page. Leaving txtTopM always goes to Prihvati,
    // so it comes last on its page, where Tab would go on to Prihvati anyway: the printer, the
    // two ways of finding the margins, then the margins themselves.
    ui::TabOrder({cmdPrihvati, cmdIzlaz, optTab, optHrvatski, optEngleski, cmdPrinter, cmdMarginr, cmdOk, txtLeftM,
                  txtTopM, Label1, txtHPomak, optDesno, optLijevo, cmdFont, txtVPomak, optGore, optDolje, txtBrojRedova,
                  txtFontSizeOstalo});
    ui::BacktabPasses(cmdPrihvati, txtTopM);

    connect(cmdPrihvati, &QPushButton::clicked, this, [this] { cmdPrihvati_Click(); });
    connect(cmdIzlaz, &QPushButton::clicked, this, [this] { reject(); });
    connect(cmdFont, &QPushButton::clicked, this, [this] { cmdFont_Click(); });
    connect(cmdMarginr, &QPushButton::clicked, this, [this] { cmdMarginr_Click(); });
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdPrinter, &QPushButton::clicked, this, [this] {
        if (!Form2) Form2 = new PrinterSelection(this);
        Form2->exec();
    });

    optTab->setCurrentIndex(0);
    ui::EnterPressesFocusedButton(this); // neither Prihvati nor Izlaz is the default
    Load();
    cmdPrihvati->setFocus();
}

void PrintSettingsWindow::BuildSortPage(QWidget* page, int y0) {
    Picture1 = Group(page, y0, "Picture1", Twips(240, 840, 2415, 1455), "Shape1");
    Text1 = Heading(Picture1, "Text1", "Redoslijed sortiranja", Twips(360, 0, 1575, 225));
    optEngleski = Put<QRadioButton>(Picture1, "optEngleski", Twips(360, 480, 1455, 255), "Engleski pojam");
    optHrvatski = Put<QRadioButton>(Picture1, "optHrvatski", Twips(360, 840, 1455, 255), "Hrvatski pojam");
}

void PrintSettingsWindow::BuildPrinterPage(QWidget* page, int y0) {
    cmdPrinter = Put<QPushButton>(page, "cmdPrinter", Twips(4560, 600, 1335, 375).translated(0, -y0), "Izbor pisača");
    cmdMarginr = Put<QPushButton>(page, "cmdMarginr", Twips(4560, 1080, 1335, 375).translated(0, -y0), "Odredi margine");
    Picture2 = Group(page, y0, "Picture2", Twips(240, 480, 3135, 1335), "Shape2");
    Text5 = Heading(Picture2, "Text5", "Vrijednosti za margine printera", Twips(360, 0, 2415, 285));
    Label6_0 = Put<QLabel>(Picture2, "Label6_0", Twips(480, 390, 1575, 255), "Lijeva margina u mm ");
    txtLeftM = Put<QLineEdit>(Picture2, "txtLeftM", Twips(2160, 360, 615, 285));
    Label6_1 = Put<QLabel>(Picture2, "Label6_1", Twips(480, 750, 1575, 255), "Gornja margina u mm ");
    txtTopM = Put<QLineEdit>(Picture2, "txtTopM", Twips(2160, 720, 615, 285));
    Picture3 = Group(page, y0, "Picture3", Twips(240, 1920, 3975, 1455), "Shape3");
    Text10 = Heading(Picture3, "Text10", "Odredite margine printera", Twips(360, 120, 2055, 285));
    Label5 = Put<QLabel>(Picture3, "Label5", Twips(360, 450, 2175, 735),
                         "Pritisnite dugme Test slika  i zatim izmjerite vrijednosti za lijevu i gornju marginu!");
    Label5->setWordWrap(true);
    // Its four lines need a few pixels more than the box was drawn with: it grows downwards,
    // inside its frame, rather than losing the bottom of "gornju marginu!".
    Label5->resize(Label5->width(), std::clamp(Label5->heightForWidth(Label5->width()), Label5->height(),
                                               Picture3->height() - Label5->y() - Px(60)));
    cmdOk = Put<QPushButton>(Picture3, "cmdOk", Twips(2520, 750, 1095, 375), "Test slika");
}

void PrintSettingsWindow::BuildOptionsPage(int y0) {
    Label1 = Put<QLabel>(opcije_, "Label1", Twips(480, 480, 5565, 495).translated(0, -y0),
                         "Kao decimalni separator koristite zarez ili točku, sukladno postavkama u Regional Settings u Control Panelu!");
    Label1->setWordWrap(true);
    auto* Line1 = Put<QFrame>(opcije_, "Line1", Twips(360, 960, 5160, 30).translated(0, -y0));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Picture4 = Group(opcije_, y0, "Picture4", Twips(120, 1080, 2775, 1215), "Shape4");
    Text9 = Heading(Picture4, "Text9", "Horizontalni pomak u mm", Twips(480, 0, 1935, 285));
    optDesno = Put<QRadioButton>(Picture4, "optDesno", Twips(360, 330, 855, 255), "Desno");
    optLijevo = Put<QRadioButton>(Picture4, "optLijevo", Twips(1320, 330, 855, 255), "Lijevo");
    txtHPomak = Put<QLineEdit>(Picture4, "txtHPomak", Twips(360, 630, 1935, 285));
    Picture6 = Group(opcije_, y0, "Picture6", Twips(3000, 1080, 2655, 1215), "Shape6");
    Text2 = Heading(Picture6, "Text2", "Vertikalni pomak u mm", Twips(360, 0, 1815, 285));
    optDolje = Put<QRadioButton>(Picture6, "optDolje", Twips(240, 330, 855, 255), "Dolje");
    optGore = Put<QRadioButton>(Picture6, "optGore", Twips(1200, 330, 855, 255), "Gore");
    txtVPomak = Put<QLineEdit>(Picture6, "txtVPomak", Twips(240, 630, 1935, 285));
    Picture5 = Group(opcije_, y0, "Picture5", Twips(120, 2350, 2655, 1575), "Shape5");
    Text3 = Heading(Picture5, "Text3", "Vrsta fonta", Twips(360, 0, 975, 285));
    chkItalic = Put<QCheckBox>(Picture5, "chkItalic", Twips(480, 450, 735, 255), "Italic");
    chkBold = Put<QCheckBox>(Picture5, "chkBold", Twips(1440, 450, 735, 255), "Bold");
    cmdFont = Put<QPushButton>(Picture5, "cmdFont", Twips(1440, 840, 855, 375), "Font");
    Picture7 = Group(opcije_, y0, "Picture7", Twips(3000, 2250, 2775, 855), "Shape7");
    Text4 = Heading(Picture7, "Text4", "Broj redova po stranici", Twips(360, 0, 1695, 225));
    txtBrojRedova = Put<QLineEdit>(Picture7, "txtBrojRedova", Twips(240, 300, 615, 285));
    Picture8 = Group(opcije_, y0, "Picture8", Twips(3000, 3050, 2655, 780), "Shape8");
    Text7 = Heading(Picture8, "Text7", "Veličina fonta", Twips(360, 0, 1215, 225));
    txtFontSizeOstalo = Put<QLineEdit>(Picture8, "txtFontSizeOstalo", Twips(240, 270, 615, 285));
}

// Sizes for this font, the names a screen reader says, and how the boxes take keys.
void PrintSettingsWindow::FitAndDescribe() {
    for (QLabel* l : {Label6_0, Label6_1}) { // this font may need more room: it ends at the box beside it
        const int left = std::max(4, std::min(l->x(), txtLeftM->x() - 2 - l->sizeHint().width()));
        l->setGeometry(left, l->y(), txtLeftM->x() - 2 - left, l->height());
    }
    // What a screen reader says for each box: the label beside it, or the heading of its group.
    Label6_0->setBuddy(txtLeftM);
    Label6_1->setBuddy(txtTopM);
    for (auto [b, h] : {std::pair{txtHPomak, Text9}, {txtVPomak, Text2}, {txtBrojRedova, Text4}, {txtFontSizeOstalo, Text7}}) {
        b->setAccessibleName(h->text());
        b->setAccessibleDescription(Label1->text());
    }
    cmdOk->setAccessibleDescription(Label5->text());
    for (QCheckBox* c : {chkItalic, chkBold}) c->setEnabled(false); // they only show the font's flags
    for (QRadioButton* o : {optEngleski, optHrvatski, optDesno, optLijevo, optDolje, optGore})
        o->resize(std::max(o->width(), o->sizeHint().width()), o->height());
    for (QLineEdit* b : {txtLeftM, txtTopM}) b->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLineEdit* b : {txtLeftM, txtTopM, txtHPomak, txtVPomak, txtBrojRedova, txtFontSizeOstalo}) {
        b->setMaxLength(std::numeric_limits<int>::max());
        b->installEventFilter(this);
    }
    for (QLineEdit* h : {Text1, Text2, Text3, Text4, Text5, Text7, Text9, Text10}) h->installEventFilter(this);
}

QString PrintSettingsWindow::Show(double v) const {
    if (v == 0) v = 0; // no "-0"
    return locale_.toString(v, 'g', 15);
}

bool PrintSettingsWindow::ReadNumber(QLineEdit* box, double* value) const {
    bool ok = false;
    const double v = locale_.toDouble(box->text().trimmed(), &ok);
    if (ok && std::isfinite(v)) *value = v;
    return ok && std::isfinite(v);
}

void PrintSettingsWindow::Load() {
    (Settings.SortEng != db::kFalse ? optEngleski : optHrvatski)->setChecked(true);
    txtLeftM->setText(Show(Settings.LeftM * 10));
    txtTopM->setText(Show(Settings.TopM * 10));
    txtHPomak->setText(Show(std::fabs(Settings.XDesno * 10)));
    (Settings.XDesno < 0 ? optLijevo : optDesno)->setChecked(true);
    txtVPomak->setText(Show(std::fabs(Settings.YDolje * 10)));
    (Settings.YDolje < 0 ? optGore : optDolje)->setChecked(true);
    txtFontSizeOstalo->setText(QString::number(Settings.VelicinaFonta));
    txtBrojRedova->setText(QString::number(Settings.BrojRedova));
    ShowFontFlags();
}

void PrintSettingsWindow::ShowFontFlags() {
    chkItalic->setChecked(Settings.MojFontItalic != db::kFalse);
    chkBold->setChecked(Settings.MojFontBold != db::kFalse);
}

bool PrintSettingsWindow::Fail(QLineEdit* box) {
    // The box may be on a page not shown: that page comes forward, so the user sees what to fix.
    for (int i = 0; i < optTab->count(); ++i)
        if (optTab->widget(i)->isAncestorOf(box)) optTab->setCurrentIndex(i);
    MsgBox(this, "Morate unijeti brojčani podatak!", "Pogreška", 64);
    box->setFocus();
    return false;
}

void PrintSettingsWindow::cmdPrihvati_Click() {
    double v = 0;
    if (!ReadNumber(txtLeftM, &v)) return (void)Fail(txtLeftM);
    Settings.LeftM = v * 0.1;
    if (!ReadNumber(txtTopM, &v)) return (void)Fail(txtTopM);
    Settings.TopM = v * 0.1;
    if (!ReadNumber(txtHPomak, &v)) return (void)Fail(txtHPomak);
    Settings.XDesno = v * (optLijevo->isChecked() ? -0.1 : 0.1);
    if (!ReadNumber(txtVPomak, &v)) return (void)Fail(txtVPomak);
    Settings.YDolje = v * (optGore->isChecked() ? -0.1 : 0.1);
    if (Settings.MojFontIme.isEmpty()) Settings.MojFontIme = "Times New Roman CE";
    // The two integers: a number outside the 16-bit range is refused like a non-number.
    auto integer = [&](QLineEdit* box, int16_t* out) {
        double d = 0;
        if (!ReadNumber(box, &d)) return Fail(box);
        const double r = std::nearbyint(d); // a half goes to the even neighbour
        if (r < -32768 || r > 32767) return Fail(box);
        *out = int16_t(r);
        return true;
    };
    if (!integer(txtFontSizeOstalo, &Settings.VelicinaFonta)) return;
    if (!integer(txtBrojRedova, &Settings.BrojRedova)) return;
    Settings.SortEng = optEngleski->isChecked() ? db::kTrue : db::kFalse;
    SaveSettings();
}

bool PrintSettingsWindow::SaveSettings() {
    if (!db::WritesRefusedReason().empty()) {
        MsgBox(this, "Rječnik je otvoren samo za čitanje: postavke vrijede do kraja rada, ali se ne spremaju.", "Vokabis", 64);
        return false;
    }
    try {
        Module1::SettingsRs = Module1::DictDb->OpenTable("Postavke");
        db::TableRecordset& rs = *Module1::SettingsRs;
        db::SeekSettingsRow(rs);
        db::SettingsRow row = Module1::ToRow(Settings);
        row.SortEng = optEngleski->isChecked() ? db::kTrue : db::kFalse;
        rs.Edit();
        db::WriteSettingsRow(rs, row);
        rs.Update();
        rs.Close();
        Module1::SettingsRs.reset();
        return true;
    } catch (const std::exception& e) {
        Module1::SettingsRs.reset();
        MsgBox(this,
               "Postavke nisu spremljene u datoteku rječnika; vrijede do kraja rada programa.\n\n" +
                   QString::fromUtf8(e.what()),
               "Pogreška", 16);
        return false;
    }
}

void PrintSettingsWindow::cmdFont_Click() {
    // The stored face may be missing here: the dialog opens on the face the print is drawn with,
    // and a field changes only when the user picked something else for it.
    const bool bold = Settings.MojFontBold != db::kFalse, italic = Settings.MojFontItalic != db::kFalse;
    QFont start(printing::FaceOnThisMachine(Settings.MojFontIme));
    start.setBold(bold);
    start.setItalic(italic);
    QFontDialog dialog(this);
    dialog.setObjectName("CommonDialog1");
    dialog.setWindowTitle("Font");
    // Only what a printer can draw at any size; strike-out, underline and the writing system
    // are not print settings, so Qt's own dialog is used, with them hidden.
    dialog.setOptions(QFontDialog::ScalableFonts | QFontDialog::DontUseNativeDialog);
    dialog.setCurrentFont(start);
    for (QCheckBox* effect : dialog.findChildren<QCheckBox*>()) effect->parentWidget()->hide();
    // The sample no longer shares its row with the effects, which gave it its height.
    for (QGroupBox* sample : dialog.findChildren<QGroupBox*>())
        if (!sample->findChild<QCheckBox*>()) sample->setMinimumHeight(dialog.fontMetrics().height() * 5);
    for (QComboBox* writing : dialog.findChildren<QComboBox*>()) writing->hide();
    for (QLabel* l : dialog.findChildren<QLabel*>())
        if (qobject_cast<QComboBox*>(l->buddy())) l->hide();
    if (dialog.exec() != QDialog::Accepted) return; // Cancel changes nothing
    const QFont chosen = dialog.selectedFont();
    if (chosen.family() != start.family()) Settings.MojFontIme = FontNameForSettings(chosen.family());
    if (chosen.bold() != bold) Settings.MojFontBold = chosen.bold() ? db::kTrue : db::kFalse;
    if (chosen.italic() != italic) Settings.MojFontItalic = chosen.italic() ? db::kTrue : db::kFalse;
    ShowFontFlags();
}

void PrintSettingsWindow::cmdMarginr_Click() {
    // A printer that is not there reports no strips at all, or those of a queue since removed.
    if (const QString why = printing::PrinterUnavailable(printing::AppPrinter());
        !why.isEmpty() && !printing::CurrentPrinterCaps) {
        MsgBox(this, why + "\n\nMargine nisu promijenjene.", "Pogreška", 64);
        return;
    }
    printing::MeasurePrinter();
    const auto& g = printing::PrinterGeometry;
    double left = 0, top = 0;
    if (!printing::StripInMm(g.UnprintableLeft, g.PixelsPerInchX, &left) ||
        !printing::StripInMm(g.UnprintableTop, g.PixelsPerInchY, &top)) {
        MsgBox(this,
               QString("Pisač je javio mjere koje se ne mogu pretvoriti u milimetre (razlučivost %1 × %2 točaka po "
                       "inču). Izmjerite margine testnom slikom.")
                   .arg(g.PixelsPerInchX)
                   .arg(g.PixelsPerInchY),
               "Pogreška", 64);
        return;
    }
    txtLeftM->setText(locale_.toString(left, 'f', 2));
    txtTopM->setText(locale_.toString(top, 'f', 2));
}

void PrintSettingsWindow::cmdOk_Click() {
    if (MsgBox(this, "Želite li ispisati test sliku", "Vokabis", 36) != ui::kYes) return;
    try {
        printing::PrinterTarget printer(printing::AppPrinter(), "Vokabis – test slika");
        // One figure to measure from: a 10 cm square whose corner is the printable origin.
        printer.Line(1, 0, 0, 5670, 5670, 0);
        printer.EndDoc();
    } catch (const std::exception& e) {
        MsgBox(this, "Test slika nije ispisana.\n\n" + QString::fromUtf8(e.what()), "Pogreška", 16);
    }
}

void PrintSettingsWindow::reject() {
    Form8 = nullptr;
    QDialog::reject();
}

bool PrintSettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box) return QDialog::eventFilter(watched, event);
    const bool heading = box->isReadOnly();
    if (event->type() == QEvent::FocusIn) {
        if (heading) optTab->tabBar()->setFocus();
        else ui::SelectWholeTextOnFocus(box);
    } else if (event->type() == QEvent::FocusOut && box == txtTopM) {
        ui::FocusOnLeaving(event, this, cmdPrihvati);
    } else if (event->type() == QEvent::KeyPress && !heading) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            double v = 0;
            if (ReadNumber(box, &v)) {
                QWidget* next = box == txtLeftM            ? static_cast<QWidget*>(txtTopM)
                                : box == txtHPomak         ? static_cast<QWidget*>(txtVPomak)
                                : box == txtVPomak         ? static_cast<QWidget*>(txtBrojRedova)
                                : box == txtBrojRedova     ? static_cast<QWidget*>(txtFontSizeOstalo)
                                                           : static_cast<QWidget*>(cmdPrihvati);
                next->setFocus();
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ShowPrintSettings(QWidget* parent) {
    if (!Form8) Form8 = new PrintSettingsWindow(parent);
    Form8->exec();
}
