#include "common/ProgramFolder.h"

#include "app/Session.h"
#include "app/Startup.h"
#include "dictionary/MainWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace {
struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next message box with its default button and tells what it said.
void AnswerNextBox(SeenBox* seen, int tries = 200) {
    QTimer::singleShot(10, [seen, tries] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *seen = {box->windowTitle(), box->text(), box->icon()};
            box->accept();
        } else if (tries > 0) {
            AnswerNextBox(seen, tries - 1);
        }
    });
}

std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int VisibleWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += w->isVisible() ? 1 : 0;
    return n;
}
} // namespace

TEST(StartupWindow, AGoodFileShowsTheMainWindowAndClosingItEndsTheRun) {
    ProgramFolder f;
    QPointer<MainWindow> w = StartUp(f.path());
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->objectName(), "Form4");
    EXPECT_EQ(w->windowTitle(), "Englesko-hrvatski i hrvatsko-engleski vokabis");
    EXPECT_EQ(Module1::SettingsRs, nullptr);
    w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
}

TEST(StartupWindow, AFileThatCannotBeOpenedGivesOneErrorBoxAndNoWindow) {
    struct Case {
        const char* name;
        const char* expect; // a phrase the user must be told
    };
    for (const Case& c : {Case{"missing", "ne postoji"}, Case{"garbage", "nije baza"},
                          Case{"other password", "Lozinka"}, Case{"no settings row", "nema traženog zapisa"},
                          Case{"truncated", "nije baza"}, Case{"plain sqlite", "nije baza"}}) {
        const std::string name = c.name;
        ProgramFolder f(name != "missing" && name != "plain sqlite", name == "other password" ? "Druga" : "KamenPlavetni");
        if (name == "garbage") std::ofstream(f.file(), std::ios::binary) << std::string(4096, 'x');
        if (name == "truncated") fs::resize_file(f.file(), 1000); // cut inside the first page
        if (name == "plain sqlite") { // a file without a key: readable by anyone, not ours
            db::Database plain(f.file().string(), "", true);
            plain.CreateSchema();
        }
        if (name == "no settings row") f.Exec("DELETE FROM Postavke");
        const std::string before = Bytes(f.file());
        SeenBox seen;
        AnswerNextBox(&seen);
        EXPECT_EQ(StartUp(f.path()), nullptr) << name;
        EXPECT_EQ(seen.title, "Pogreška") << name;
        EXPECT_EQ(seen.icon, QMessageBox::Critical) << name;
        EXPECT_TRUE(seen.text.contains(QString::fromUtf8(c.expect))) << name << ": " << seen.text.toStdString();
        EXPECT_EQ(VisibleWindows(), 0) << name;
        EXPECT_EQ(Bytes(f.file()), before) << name; // nothing written, nothing created
        EXPECT_EQ(fs::exists(f.file()), name != "missing") << name;
        EXPECT_EQ(Module1::DictDb, nullptr) << name;
    }
}

TEST(StartupWindow, ARunThatChangedTheDictionaryLeavesABackupOfItBehind) {
    struct Case {
        const char* name;
        const char* change; // on the list's connection (pairs) or the settings one
        bool settingsConnection, exitCommand;
    };
    for (const Case& c : {Case{"nothing changed", nullptr, false, true},
                          Case{"a pair, Završi rad", "INSERT INTO Vokabis (Engleski, Hrvatski) VALUES ('ink', 'tinta')", false, true},
                          Case{"settings, close box", "UPDATE Postavke SET BrojRedova = 33", true, false}}) {
        ProgramFolder f;
        MainWindow* w = StartUp(f.path());
        ASSERT_TRUE(w) << c.name;
        Session session(w);
        if (c.change) (c.settingsConnection ? *Module1::DictDb : *w->Data1.database()).Exec(c.change);
        if (c.exitCommand) w->cmdIzlaz->click();
        else w->close();
        const QString backup = session.End();
        EXPECT_EQ(fs::exists(f.dir / "Data/Backup"), c.change != nullptr) << c.name;
        if (!c.change) continue;
        EXPECT_EQ(fs::path(backup.toStdString()).parent_path(), f.dir / "Data/Backup") << c.name;
        EXPECT_TRUE(QFileInfo(backup).fileName().contains(QRegularExpression("^Vokabis-\\d{4}-\\d\\d-\\d\\d-\\d{6}\\.mdb$")))
            << backup.toStdString();
        struct stat st {};
        ASSERT_EQ(::stat(backup.toUtf8().constData(), &st), 0) << c.name;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << c.name;
        db::Database copy(backup.toStdString(), "KamenPlavetni");
        EXPECT_EQ(copy.Count("Select * From Vokabis Where Engleski = 'ink'"), c.settingsConnection ? 0 : 1) << c.name;
        EXPECT_EQ(copy.Count("Select * From Postavke Where BrojRedova = 33"), c.settingsConnection ? 1 : 0) << c.name;
    }
}
