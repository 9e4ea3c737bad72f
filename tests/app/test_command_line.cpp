// What a start asks for, read from its command line before Qt starts.
#include "common/ProgramFolder.h"

#include "app/CommandLine.h"
#include "app/Startup.h"
#include "dictionary/MainWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPointer>

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {
struct Read {
    CommandLine c;
    std::string out, err;
};
Read ReadArgs(std::vector<const char*> args) {
    args.insert(args.begin(), "vokabis");
    std::ostringstream out, err;
    Read r{ReadCommandLine(int(args.size()), const_cast<char**>(args.data()), out, err), {}, {}};
    r.out = out.str();
    r.err = err.str();
    return r;
}
} // namespace

TEST(CommandLine, AWordAndTheBoxOrTheSelectionToLookUp) {
    using Box = LookUpRequest::Box;
    struct Case {
        std::vector<const char*> args;
        Box box;
        bool selection;
        QString text;
    };
    const Case cases[] = {
        {{}, Box::Either, false, ""},
        {{"kuća"}, Box::Either, false, "kuća"},
        {{"ice", "cream"}, Box::Either, false, "ice cream"},
        {{"--hr", "kuća"}, Box::Croatian, false, "kuća"},
        {{"--en", "--odabir"}, Box::English, false, "--odabir"}, // the option's value, whatever it is
        {{"--odabir"}, Box::Either, true, ""},
        {{"--selection"}, Box::Either, true, ""},
        {{"--", "-ish"}, Box::Either, false, "-ish"},
        {{"-platform", "offscreen", "h*se"}, Box::Either, false, "h*se"}, // Qt's option and its value pass
    };
    for (const Case& c : cases) {
        const Read r = ReadArgs(c.args);
        ASSERT_FALSE(r.c.exitCode) << r.err;
        EXPECT_EQ(r.c.request.box, c.box);
        EXPECT_EQ(r.c.request.selection, c.selection);
        EXPECT_EQ(r.c.request.text, c.text);
        // Handed to the running program and back unchanged.
        const auto back = LookUpRequest::FromMessage(r.c.request.ToMessage());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->ToMessage(), r.c.request.ToMessage());
    }
    EXPECT_FALSE(LookUpRequest::FromMessage({"vokabis-0", "", "", "x", "", "", "0"})); // another program's message
}

TEST(CommandLine, WrongUsageIsNamedInCroatianWithExitCodeTwo) {
    for (auto [args, says] : {std::pair{std::vector<const char*>{"--hr"}, "Nakon opcije --hr navedite riječ koju tražite."},
                              {{"--en", "a", "--hr", "b"}, "Opcije --en i --hr ne mogu se navesti zajedno."},
                              {{"--odabir", "kuća"}, "Navedite ili riječ ili --odabir, ne oboje."}}) {
        const Read r = ReadArgs(args);
        EXPECT_EQ(r.c.exitCode, 2);
        EXPECT_EQ(r.err, std::string(says) + "\nPopis opcija daje: vokabis --help\n");
    }
}

// Where there is no primary selection (this platform has none), --odabir reads the clipboard.
TEST(CommandLine, TheSelectionComesFromTheClipboardWhereThereIsNoOther) {
    ProgramFolder f;
    f.AddPairs({{"house", "kuća"}});
    QPointer<MainWindow> w = StartUp(f.app());
    ASSERT_TRUE(w);
    ASSERT_FALSE(QGuiApplication::clipboard()->supportsSelection());
    LookUpRequest selection;
    selection.selection = true;
    QGuiApplication::clipboard()->setText("\n kuća \nsecond line");
    ShowLookUp(w, selection);
    EXPECT_EQ(w->txtNadjiHrvatski->text(), "kuća");
    QGuiApplication::clipboard()->clear();
    ShowLookUp(w, selection); // nothing selected: the list stays, the status bar says why
    EXPECT_EQ(w->txtNadjiHrvatski->text(), "kuća");
    EXPECT_EQ(w->StatusText(), "Nema označenog teksta: označite riječ u nekom programu pa je ponovno potražite.");
    w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
