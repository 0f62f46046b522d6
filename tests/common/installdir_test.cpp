// installdir_test.cpp: the installation-folder lookup: InstallDir when set, else
// "\Programme\Zolvane" when it exists, else "\Program Files\Zolvane"; a value that cannot be
// the folder falls back the same way.
#include <string>

#include <gtest/gtest.h>

#include "commontest.h"
#include "installdir.h"
#include "regnames.h"

using namespace commontest;

namespace {

class InstallDirTest : public CommonTest {
protected:
    std::u16string lookup() {
        WCHAR folder[ZV_INSTALLFOLDER_CCH];
        for (WCHAR& unit : folder)
            unit = 0xBEEF; // poison: the result must be written and terminated
        EXPECT_TRUE(findInstallFolder(folder, ZV_INSTALLFOLDER_CCH));
        return std::u16string(folder);
    }
};

} // namespace

TEST_F(InstallDirTest, InstallDirWinsAndLosesItsTrailingBackslash) {
    regSetString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR, u"\\Storage Card\\ZV");
    EXPECT_EQ(u"\\Storage Card\\ZV", lookup());
    regSetString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR, u"\\Storage Card\\ZV\\");
    EXPECT_EQ(u"\\Storage Card\\ZV", lookup());
}

// Absent or empty InstallDir: the German folder when it exists, even beside the English one.
TEST_F(InstallDirTest, FallbackPrefersExistingGermanFolder) {
    makeFolder("\\Program Files\\Zolvane");
    EXPECT_EQ(u"\\Program Files\\Zolvane", lookup());

    makeFolder("\\Programme\\Zolvane");
    EXPECT_EQ(u"\\Programme\\Zolvane", lookup());

    regSetString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR, u"");
    EXPECT_EQ(u"\\Programme\\Zolvane", lookup());
}

// Neither folder exists: the English one is named anyway (it is where the product installs).
TEST_F(InstallDirTest, FallbackWithoutAnyFolderIsProgramFiles) {
    EXPECT_EQ(u"\\Program Files\\Zolvane", lookup());
    regSetString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR, u"\\");
    EXPECT_EQ(u"\\Program Files\\Zolvane", lookup());
}

// InstallDir may hold up to 520 bytes, the folder only 150 units: a value that does not fit is
// not cut into some other folder's name but treated as missing.
TEST_F(InstallDirTest, TooLongInstallDirFallsBack) {
    const std::u16string fits = u"\\" + std::u16string(148, u'f');
    regSetString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR, fits);
    EXPECT_EQ(fits, lookup());

    regSetString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR,
                 u"\\" + std::u16string(149, u'l'));
    EXPECT_EQ(u"\\Program Files\\Zolvane", lookup());

    // Larger than the 520 bytes the lookup reads at all.
    regSetString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR, std::u16string(400, u'x'));
    EXPECT_EQ(u"\\Program Files\\Zolvane", lookup());
}

TEST_F(InstallDirTest, BadBufferFails) {
    EXPECT_FALSE(findInstallFolder(nullptr, ZV_INSTALLFOLDER_CCH));
    WCHAR one[1] = {0x4141};
    EXPECT_FALSE(findInstallFolder(one, 0));
    EXPECT_EQ(0x4141, one[0]);
}
