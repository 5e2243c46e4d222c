// The application object and its profile, kept in the registry store.
#include <gtest/gtest.h>

#include "platform/app.h"
#include "platform/registry.h"
#include "support/registry_sandbox.h"

namespace {

TEST(CWinApp, IsTheCurrentApplicationWhileItLives) {
  CWinApp* before = AfxGetApp();
  {
    CWinApp app("Talvo Test");
    EXPECT_EQ(&app, AfxGetApp());
    EXPECT_EQ(&app, AfxGetThread());
    EXPECT_STREQ("Talvo Test", app.m_pszAppName);
    EXPECT_TRUE(app.InitInstance());
    EXPECT_EQ(0, app.ExitInstance());
  }
  EXPECT_EQ(before, AfxGetApp());
}

TEST(CWinApp, ProfileRoundTripsUnderTheApplicationsKey) {
  RegistrySandbox sandbox;
  CWinApp app("Talvo Test");
  EXPECT_EQ(42u, app.GetProfileInt("Settings", "Frames", 42));
  EXPECT_EQ("fallback", app.GetProfileString("Settings", "Name", "fallback"));

  EXPECT_TRUE(app.WriteProfileInt("Settings", "Frames", -5));
  EXPECT_TRUE(app.WriteProfileString("Settings", "Name", "Speech"));
  EXPECT_EQ(static_cast<UINT>(-5), app.GetProfileInt("settings", "FRAMES", 42));
  EXPECT_EQ("Speech", app.GetProfileString("SETTINGS", "name", "fallback"));

  // The profile lives in the current user's hive under the application's name.
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vantrel\\Talvo Test\\Settings", 0, KEY_QUERY_VALUE, &key));
  DWORD type = 0, size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size));
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(7u, size);
  RegCloseKey(key);

  // A value of the wrong type reads as the default.
  EXPECT_EQ(9u, app.GetProfileInt("Settings", "Name", 9));
}

}  // namespace
