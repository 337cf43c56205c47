// What cmake --install and the Debian package put on a machine: the
// programs find the driver and each other from where they are installed, and
// a host of its own builds against the installed headers alone.
#include <cstdlib>
#include <filesystem>

#include "tests/host/cli_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char *const INSTALLED_FILES[] = {
    "bin/kelomr",
    "bin/finsim",
    "include/kelomr/driver/call_blocks.h",
    "include/kelomr/host/kelhost.h",
    "share/man/man1/kelomr.1",
};
const char *const INSTALLED_LIBRARIES[] = {"libkelomr.so", "libfinsgw.so", "libkelhost.so"};

// The driver and its libraries, wherever the library folder is.
std::string LibraryFolder(const std::string &prefix) {
    for (const auto &entry : fs::recursive_directory_iterator(prefix)) {
        if (entry.path().filename() == "libkelomr.so") {
            return entry.path().parent_path().string();
        }
    }
    return {};
}

void ExpectInstalledTree(const std::string &prefix) {
    for (const char *file : INSTALLED_FILES) {
        EXPECT_TRUE(fs::exists(prefix + "/" + file)) << file;
    }
    std::string libraries = LibraryFolder(prefix);
    ASSERT_FALSE(libraries.empty());
    for (const char *library : INSTALLED_LIBRARIES) {
        EXPECT_TRUE(fs::exists(libraries + "/" + library)) << library;
    }
    RunOutcome info = RunToEnd({prefix + "/bin/kelomr", "info"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("driver        " + prefix + "/bin/../"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("gateway       error texts"), std::string::npos) << info.out;
}

class InstallTest : public KelomrTest {};

TEST_F(InstallTest, InstalledAndPackagedTreesWork) {
    std::string prefix = folder_ + "/prefix";
    RunOutcome install = RunToEnd({CMAKE_PROGRAM, "--install", BUILD_FOLDER, "--prefix", prefix}, {}, 300s);
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
    ExpectInstalledTree(prefix);

    // A host of its own, built against the installed headers only.
    std::string host = folder_ + "/minimal_host";
    RunOutcome compile =
        RunToEnd({CXX_PROGRAM, "-std=c++17", "-Wall", "-Werror", HOST_SANITIZE_FLAG, "-I" + prefix + "/include/kelomr",
                  SOURCE_FOLDER "/tests/host/minimal_host.cpp", "-o", host, "-ldl"},
                 {}, 300s);
    ASSERT_EQ(compile.exitCode, 0) << compile.err;
    Preset(CS_DM, 100, {4242});
    RunSettings inFolder;
    inFolder.folder = folder_;
    RunOutcome hosted = RunToEnd({host, LibraryFolder(prefix) + "/libkelomr.so", "01DM00100"}, inFolder);
    EXPECT_EQ(hosted.exitCode, 0) << hosted.err;
    EXPECT_NE(hosted.out.find("Omron General purpose, instance area 6624 bytes"), std::string::npos) << hosted.out;
    EXPECT_NE(hosted.out.find("01DM00100 = 4242"), std::string::npos) << hosted.out;

    // The Debian package holds the same tree under /usr.
    std::string packages = folder_ + "/packages";
    RunOutcome cpack =
        RunToEnd({CPACK_PROGRAM, "-G", "DEB", "--config", BUILD_FOLDER "/CPackConfig.cmake", "-B", packages}, {}, 300s);
    if (cpack.exitCode != 0 && cpack.err.find("dpkg") != std::string::npos) {
        GTEST_SKIP() << "no Debian packaging tools: " << cpack.err;
    }
    ASSERT_EQ(cpack.exitCode, 0) << cpack.out << cpack.err;
    std::string deb;
    for (const auto &entry : fs::directory_iterator(packages)) {
        if (entry.path().extension() == ".deb") {
            deb = entry.path().string();
        }
    }
    ASSERT_FALSE(deb.empty()) << cpack.out;
    RunOutcome fields = RunToEnd({"/usr/bin/dpkg-deb", "--field", deb, "Package", "Depends"});
    EXPECT_NE(fields.out.find("Package: kelomr"), std::string::npos) << fields.out;
    std::string unpacked = folder_ + "/unpacked";
    RunOutcome extract = RunToEnd({"/usr/bin/dpkg-deb", "-x", deb, unpacked});
    ASSERT_EQ(extract.exitCode, 0) << extract.err;
    ExpectInstalledTree(unpacked + "/usr");
}

} // namespace
