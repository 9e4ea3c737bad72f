#pragma once
#include <QDialog>
#include <QPointer>

class MainWindow;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The window in which one pair is typed and saved (Form5): a new pair while IsNewEntry is
// true, otherwise over the main window's current pair. It stays open after each save; once a
// change is saved, the emptied boxes take new pairs, so the changed pair is never overwritten.
class EntryEditor : public QDialog {
    Q_OBJECT
public:
    explicit EntryEditor(MainWindow& form4);

    QFrame* Shape1;
    QLineEdit* Text4;
    QLabel *Label1, *Label2;
    QLineEdit *txtEngleski, *txtHrvatski;
    QPushButton *cmdSpremi, *cmdIzlaz;

    void reject() override; // Esc and the title bar's close button are Kraj

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmdSpremi_Click();
    bool SaveEntry(); // false when the engine refused the write (the user has been told)
    void EnterIn(QLineEdit* box);

    MainWindow& form4_;
    bool saved_ = false; // once a pair is saved, this opening adds the next ones
};

// The editor's global reference: created on first use, dropped by Kraj.
inline QPointer<EntryEditor> Form5;
EntryEditor& Form5Ref(MainWindow& form4);
