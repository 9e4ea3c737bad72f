#pragma once
// What the commands of vokabis-db share: the options read from the command line, and the ways a
// dictionary file is opened and judged. Each command is a file of its own (tools/*Command.cpp).
#include "db/Database.h"
#include "tools/Formats.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tools::cli {

struct Options {
    std::vector<std::string> args; // the command's words: the command itself first
    bool skipBad = false;
    bool force = false;
    std::string format;
    std::string from;
    std::string mdbExport = "mdb-export";
};

// One command: its name, how many words it takes after the name, its lines in the help text,
// and what runs it (with the words checked).
struct Command {
    const char* name;
    size_t minWords, maxWords;
    const char* help;
    int (*run)(const Options&);
};

int Create(const Options& o);
int Import(const Options& o);
int Export(const Options& o);
int Check(const Options& o);
int Stats(const Options& o);
int Backup(const Options& o);
int Restore(const Options& o);

// Adds the pairs of source to the dictionary at path (made first when fresh); an exit code.
int ImportInto(const Options& o, const std::string& path, const std::string& source, bool fresh);

db::Database OpenReadOnly(const std::string& path);
// Refuses a file that opens but is not a dictionary of this program, before anything reads or
// writes its tables.
void RequireDictionary(db::Database& d);
// Everything the program needs from a file, each on a line of its own; true when all of it is there.
bool Verify(db::Database& d, std::ostream& out);

std::string Lower(std::string s);
// A file's suffix as written, in lower case: "in.CSV" is a CSV file.
std::string Suffix(const std::string& path);
// named has been checked to be empty, tsv or csv (in any case).
Format FormatOf(const std::string& path, const std::string& named);

} // namespace tools::cli
