// The backup folder as the vokabis-db tool leaves it: which copies are kept, what a killed
// backup leaves behind, what the folder's file system cannot do.
#include "common/TempFiles.h"
#include "db/Files.h"
#include "tools/RunTool.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>


TEST(Backup, AFailedBackupNamesTheCopyAndSaysInCroatianThatTheDictionaryIsDamaged) {
    TempDir d;
    const std::string damaged = d / "damaged.mdb", torn = d / "torn.mdb";
    Rows many;
    for (int i = 0; i < 3000; ++i) many.emplace_back("word" + std::to_string(i), "riječ" + std::to_string(i));
    MakeDictionary(damaged, many);
    fs::copy_file(damaged, torn);
    {
        std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(100000); // a page of pairs, past the ones the schema is read from
        f << std::string(64, 'x');
    }
    const Result r = Tool("backup " + damaged);
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.out.find("rječnik je oštećen"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(".novo"), std::string::npos) << r.out; // the copy's own name, not the hidden one
    EXPECT_EQ(r.out.find("kod"), std::string::npos) << r.out;
    EXPECT_TRUE(NoEngineEnglish(r.out)) << r.out;
    if (fs::exists(d / "Backup")) {
        for (const auto& n : d.Names("Backup")) EXPECT_TRUE(n.ends_with(".brava") || n.ends_with(".redoslijed")) << n;
    }
    fs::resize_file(torn, 3000);
    const Result check = Tool("check " + torn);
    EXPECT_EQ(check.rc, 1);
    EXPECT_NE(check.out.find("oštećena"), std::string::npos) << check.out;
    EXPECT_EQ(check.out.find("vokabis-db check"), std::string::npos) << check.out; // it is the check
}
