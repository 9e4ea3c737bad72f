// vokabis-db: makes, fills, exports and checks dictionary files. The program itself reads no
// command line; everything done to a file from outside it is done here. Each command is a file
// of its own; this one reads the command line and hands it to the command named.
#include "db/Files.h"
#include "tools/Cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <iostream>
#include <optional>

using namespace tools::cli;

namespace {

const Command kCommands[] = {
    {"create", 1, 1,
     "  vokabis-db create DATOTEKA [--from IZVOR]   nova datoteka, po želji odmah napunjena\n"
     "                                              / a new file, optionally filled at once\n",
     Create},
    {"import", 2, 2,
     "  vokabis-db import DATOTEKA IZVOR [--skip-bad]\n"
     "                                              dodaje parove iz izvora / adds the pairs of a source\n",
     Import},
    {"export", 1, 2,
     "  vokabis-db export DATOTEKA [CILJ] [--force] svi parovi u TSV ili CSV (bez cilja: na izlaz);\n"
     "                                              postojeći cilj zamjenjuje samo uz --force\n"
     "                                              / every pair as TSV or CSV (no target: stdout);\n"
     "                                              an existing target is replaced only with --force\n",
     Export},
    {"check", 1, 1, "  vokabis-db check DATOTEKA                   provjera datoteke / checks the file\n", Check},
    {"stats", 1, 1, "  vokabis-db stats DATOTEKA                   brojke o rječniku / figures about the dictionary\n", Stats},
    {"backup", 1, 2,
     "  vokabis-db backup DATOTEKA [MAPA]           pričuvna kopija (zadano: Backup/ uz datoteku)\n"
     "                                              / a backup copy (default: Backup/ beside the file)\n",
     Backup},
    {"restore", 2, 2,
     "  vokabis-db restore KOPIJA DATOTEKA          vraća kopiju; zamijenjena datoteka ostaje kao kopija\n"
     "                                              / restores a backup; the replaced file is kept as one\n",
     Restore},
};

std::string Help() {
    std::string help = "vokabis-db – rad s datotekom rječnika Vokabis / working with a Vokabis dictionary file\n\n";
    for (const Command& c : kCommands) help += c.help;
    return help +
           "\n"
           "  vokabis-db --version                        inačica programa / the program's version\n"
           "\n"
           "Izvor / source: .tsv (engleski TAB hrvatski), .csv (RFC 4180), FreeDict (npr. / e.g.\n"
           "/usr/share/dictd/freedict-eng-hrv), stari rječnik / an old dictionary .mdb (mdbtools).\n"
           "--format tsv|csv  određuje zapis kad ga nastavak ne kaže / names the format when the suffix does not.\n"
           "--skip-bad        preskače neispravne retke umjesto da odbaci cijeli uvoz\n"
           "                  / skips bad lines instead of refusing the whole import.\n"
           "Izlazni kodovi / exit codes: 0 u redu / ok, 1 pogreška / error, 2 pogrešna uporaba / usage.\n";
}

int Usage() {
    std::cerr << Help();
    return 2;
}

// What went wrong with the arguments, said before the help text.
std::string ArgumentError(const QCommandLineParser& parser, const QStringList& arguments) {
    if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty())
        return "Nepoznata opcija: " + std::string(unknown.first().size() > 1 ? "--" : "-") + unknown.first().toStdString();
    if (QStringList{"--format", "--from", "--mdb-export"}.contains(arguments.last()))
        return "Opciji " + arguments.last().toStdString() + " nedostaje vrijednost.";
    return "Opcije --skip-bad, --force, --help i --version ne primaju vrijednost.";
}

// The options and the command's words; an exit code when there is nothing more to do.
std::optional<int> ReadArguments(const QStringList& arguments, Options* o) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"}), skipBad("skip-bad"), force("force"),
        version("version");
    const QCommandLineOption format("format", {}, "tsv|csv"), from("from", {}, "IZVOR"), mdbExport("mdb-export", {}, "PROGRAM");
    parser.addOptions({help, version, skipBad, force, format, from, mdbExport});
    if (!parser.parse(arguments)) {
        std::cerr << ArgumentError(parser, arguments) << "\n";
        return Usage();
    }
    if (parser.isSet(help)) {
        std::cout << Help();
        return 0;
    }
    if (parser.isSet(version)) {
        std::cout << "vokabis-db " VOKABIS_VERSION "\n";
        return 0;
    }
    o->skipBad = parser.isSet(skipBad);
    o->force = parser.isSet(force);
    o->format = parser.value(format).toStdString();
    if (parser.isSet(format) && Lower(o->format) != "tsv" && Lower(o->format) != "csv") {
        std::cerr << "Nepoznat zapis \"" << o->format << "\": --format prima samo tsv ili csv.\n";
        return 2;
    }
    o->from = parser.value(from).toStdString();
    if (parser.isSet(mdbExport)) o->mdbExport = parser.value(mdbExport).toStdString();
    for (const QString& a : parser.positionalArguments()) o->args.push_back(a.toStdString());
    return std::nullopt;
}

int Dispatch(const Options& o) {
    if (o.args.size() < 2) return Usage();
    for (const Command& c : kCommands)
        if (o.args[0] == c.name && o.args.size() - 1 >= c.minWords && o.args.size() - 1 <= c.maxWords) return c.run(o);
    return Usage();
}

} // namespace

int main(int argc, char** argv) {
    db::files::NoCoreDumps(); // a crash must not leave the pairs and the key in a file
    QCoreApplication app(argc, argv); // its arguments() come right from the system on every platform
    Options o;
    if (const std::optional<int> done = ReadArguments(QCoreApplication::arguments(), &o)) return *done;
    try {
        return Dispatch(o);
    } catch (const std::exception& e) {
        std::cerr << "Pogreška: " << e.what() << "\n";
        return 1;
    }
}
