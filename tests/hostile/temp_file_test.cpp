// The temporary file of a node whose name someone planted in advance, as a
// symbolic link to a victim file: the victim is never written.
#include "acWorkRes/resource_tree.h"
#include "acWorkRes/update_ops.h"
#include "hostile_support.h"
#include "support/temp_environment.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace hostile;

const Bytes kLarge(40000, 0x5A); // above the 32768 bytes kept in memory

#ifndef _WIN32

// A link planted under a leaf's name (by the same user or, in a shared
// folder, by another) is passed by: the leaf's file has no name, the link
// is neither followed nor removed, and the data is stored all the same.
TEST(PlantedTempFile, APlantedLinkIsNeitherFollowedNorRemoved) {
    Scratch scratch;
    const fs::path victim = scratch.Path("victim.txt");
    WriteFile(victim, Bytes{'v', 'i', 'c', 't', 'i', 'm'});
    std::string name;
    {
        acWorkRes::TResItem leaf;
        name = acWorkRes::TempFileNameFor(leaf);
        fs::create_symlink(victim, name);
        ASSERT_TRUE(acWorkRes::StoreLeafData(leaf, 1049, kLarge.data(), 40000));
        Bytes back(40000);
        ASSERT_TRUE(leaf.TempFile.ReadAt(0, back));
        EXPECT_EQ(back, kLarge);
    }
    EXPECT_TRUE(fs::is_symlink(name));
    EXPECT_EQ(ReadFile(victim), (Bytes{'v', 'i', 'c', 't', 'i', 'm'}));
    fs::remove(name);
}

// Played with a child process that gives up root for an unprivileged user
// in a world-writable, sticky folder, whose link it could not remove.
TEST(PlantedTempFile, AnotherUsersLinkInASharedFolderIsPassedBy) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to plant a link as another user";
    Scratch scratch;
    const fs::path shared = scratch.Path("shared");
    fs::create_directories(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    const fs::path victim = scratch.Path("victim.txt");
    WriteFile(victim, Bytes{'v', 'i', 'c', 't', 'i', 'm'});
    ASSERT_EQ(chmod(victim.c_str(), 0666), 0); // writable by the user, were the link followed

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Exit codes: 0 the data was stored beside the link, anything else what went wrong.
        setenv("TMPDIR", shared.c_str(), 1);
        int code = 0;
        {
            acWorkRes::TResItem leaf;
            const std::string name = acWorkRes::TempFileNameFor(leaf);
            if (symlink(victim.c_str(), name.c_str()) != 0)
                _exit(10);
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(11);
            if (!acWorkRes::StoreLeafData(leaf, 1049, kLarge.data(), 40000))
                code = 12;
            struct stat st {};
            if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
                code = 14;
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(victim), (Bytes{'v', 'i', 'c', 't', 'i', 'm'}));
    // The link is the planter's to remove.
    for (const auto& entry : fs::directory_iterator(shared))
        fs::remove(entry.path());
}

#endif

// Whatever the data, every temporary file goes with its leaf: on Windows it
// has a name while it lives, on Linux none at all.
TEST(PlantedTempFile, NoTemporaryFileOutlivesItsLeaf) {
    const std::size_t descriptors = ksbtest::OpenDescriptorCount();
    {
        acWorkRes::TResItem leaf;
        ASSERT_TRUE(acWorkRes::StoreLeafData(leaf, 1049, kLarge.data(), 40000));
#ifdef _WIN32
        EXPECT_EQ(ksbtest::UpdaterTempFiles(ksbtest::PrivateTempFolder()).size(), 1u);
#else
        EXPECT_TRUE(ksbtest::UpdaterTempFiles(ksbtest::PrivateTempFolder()).empty());
        EXPECT_EQ(ksbtest::OpenDescriptorCount(), descriptors + 1);
#endif
    }
    EXPECT_TRUE(ksbtest::UpdaterTempFiles(ksbtest::PrivateTempFolder()).empty());
    EXPECT_EQ(ksbtest::OpenDescriptorCount(), descriptors);
}

} // namespace
