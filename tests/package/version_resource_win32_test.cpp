// The package DLL carries a version resource made from the project's version: read back from
// the built file with the system's version API, as Explorer and installers read it. The
// environment variable NIMBUS_DLL names another copy to read (the one in a release zip).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class VersionResource : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* other = std::getenv("NIMBUS_DLL");
    const char* path = other != nullptr && *other != '\0' ? other : NIMBUS_PACKAGE_PATH;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u) << path << " has no version resource";
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data_.data()));
  }

  // A string of the first translation's table; empty when it is missing.
  std::string Value(const char* name) {
    struct Translation {
      WORD language;
      WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data_.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation)) {
      return "";
    }
    char path[128];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
                  translations[0].codePage, name);
    char* value = nullptr;
    if (!VerQueryValueA(data_.data(), path, reinterpret_cast<void**>(&value), &length) ||
        value == nullptr) {
      return "";
    }
    std::string text(value, length);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    std::printf("  %s: %s\n", name, text.c_str());
    return text;
  }

  std::vector<char> data_;
};

TEST_F(VersionResource, NumbersAreTheProjectVersion) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data_.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const DWORD high = (NIMBUS_VERSION_MAJOR << 16) | NIMBUS_VERSION_MINOR;
  const DWORD low = NIMBUS_VERSION_PATCH << 16;
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, low);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, low);
  EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));
  std::printf("  fixed file version: %lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16,
              fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16,
              fixed->dwFileVersionLS & 0xFFFF);
}

TEST_F(VersionResource, StringsNameTheProductAndItsVersion) {
  EXPECT_EQ(Value("FileVersion"), NIMBUS_VERSION);
  EXPECT_EQ(Value("ProductVersion"), NIMBUS_VERSION);
  EXPECT_EQ(Value("ProductName"), "Nimbus.4DX");
  EXPECT_EQ(Value("OriginalFilename"), "Nimbus.4DX");
  const std::string description = Value("FileDescription");
  EXPECT_NE(description.find("4D"), std::string::npos) << description;
}

}  // namespace
