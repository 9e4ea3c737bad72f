#include "app/CommandLine.h"

#include <ostream>
#include <string_view>

namespace {

const char* const kHelp =
    "vokabis – englesko-hrvatski rječnik / English-Croatian dictionary\n"
    "\n"
    "  vokabis             otvara prozor rječnika / opens the dictionary window\n"
    "  vokabis RIJEČ       traži riječ u engleskom okviru, a ako ondje nema parova, a u\n"
    "                      hrvatskom ih ima, u hrvatskom / looks a word up, English first\n"
    "  vokabis --en RIJEČ  traži riječ u engleskom okviru / in the English box\n"
    "  vokabis --hr RIJEČ  traži riječ u hrvatskom okviru / in the Croatian box\n"
    "  vokabis --odabir    traži tekst označen u bilo kojem programu (prvi redak, najviše\n"
    "                      100 znakova); --selection isto / looks up the selected text\n"
    "  vokabis -h, --help  ova pomoć / this help\n"
    "  vokabis --version   inačica programa / the program's version\n"
    "\n"
    "Ako je Vokabis s istim rječnikom već pokrenut, traženje se prikazuje u njegovu prozoru i\n"
    "novi se prozor ne otvara. / A running Vokabis on the same dictionary shows the look-up.\n"
    "\n"
    "Uvoz, izvoz i pričuvne kopije rječnika / import, export and backups: vokabis-db --help\n"
    "Izlazni kodovi / exit codes: 0 u redu / ok, 1 pogreška / error, 2 pogrešna uporaba / usage.\n";

// Qt's own options keep working as before; those named here take the next argument as their value.
bool IsQtOption(std::string_view a, bool* takesValue) {
    if (a.starts_with("--")) a.remove_prefix(1);
    const bool hasValue = a.find('=') != std::string_view::npos;
    a = a.substr(0, a.find('='));
    for (const char* o : {"-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
                          "-qwindowtitle", "-qwindowicon", "-style", "-stylesheet", "-session", "-display", "-geometry"})
        if (a == o) {
            *takesValue = !hasValue;
            return true;
        }
    *takesValue = false;
    return a == "-reverse" || a == "-widgetcount" || a == "-nograb" || a == "-dograb" || a == "-sync";
}

int Usage(std::ostream& err, const std::string& what) {
    err << what << "\nPopis opcija daje: vokabis --help\n";
    return 2;
}

} // namespace

CommandLine ReadCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CommandLine c;
    LookUpRequest& r = c.request;
    QStringList words;
    bool boxChosen = false, optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (optionsEnd || !a.starts_with('-') || a == "-") {
            words << QString::fromLocal8Bit(argv[i]);
        } else if (a == "--") {
            optionsEnd = true; // what follows is the word, even when it starts with "-"
        } else if (a == "-h" || a == "--help") {
            out << kHelp;
            c.exitCode = 0;
            return c;
        } else if (a == "--version") {
            out << "Vokabis " VOKABIS_VERSION "\n";
            c.exitCode = 0;
            return c;
        } else if (a == "--en" || a == "--hr") {
            if (boxChosen) {
                c.exitCode = Usage(err, "Opcije --en i --hr ne mogu se navesti zajedno.");
                return c;
            }
            if (i + 1 >= argc) {
                c.exitCode = Usage(err, "Nakon opcije " + std::string(a) + " navedite riječ koju tražite.");
                return c;
            }
            boxChosen = true;
            r.box = a == "--en" ? LookUpRequest::Box::English : LookUpRequest::Box::Croatian;
            words << QString::fromLocal8Bit(argv[++i]);
        } else if (a == "--odabir" || a == "--selection") {
            r.selection = true;
        } else if (bool takesValue = false; IsQtOption(a, &takesValue)) {
            i += takesValue;
        } else {
            c.exitCode = Usage(err, "Nepoznata opcija: " + std::string(a));
            return c;
        }
    }
    if (r.selection && !words.isEmpty()) {
        c.exitCode = Usage(err, "Navedite ili riječ ili --odabir, ne oboje.");
        return c;
    }
    r.text = words.join(' ');
    return c;
}

QStringList LookUpRequest::ToMessage() const {
    const char* b = box == Box::English ? "en" : box == Box::Croatian ? "hr" : "";
    return {"vokabis-1", b, selection ? "odabir" : "", text, startupId, activationToken, QString::number(launchTime)};
}

std::optional<LookUpRequest> LookUpRequest::FromMessage(const QStringList& m) {
    if (m.size() != 7 || m[0] != "vokabis-1") return std::nullopt;
    LookUpRequest r;
    r.box = m[1] == "en" ? Box::English : m[1] == "hr" ? Box::Croatian : Box::Either;
    r.selection = m[2] == "odabir";
    r.text = m[3];
    r.startupId = m[4];
    r.activationToken = m[5];
    r.launchTime = m[6].toUInt();
    return r;
}
