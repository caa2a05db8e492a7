#include <gtest/gtest.h>

#include <QObject>
#include <memory>

#include "app/CommandRouter.h"

using app::CommandRouter;

TEST(CommandRouter, DispatchesToTheGivenWindowOnly) {
  auto& router = CommandRouter::Instance();
  QObject main, about;
  QStringList calls;
  router.AddMenuHandler(&main, "FileSave", [&] {
    calls << "main FileSave";
    return true;
  });
  router.AddMenuHandler(&about, "FileQuit", [&] {
    calls << "about FileQuit";
    return true;
  });

  EXPECT_TRUE(router.Dispatch(&main, "FileSave"));
  EXPECT_FALSE(router.Dispatch(&main, "FileQuit"));  // only the about window handles Quit
  EXPECT_TRUE(router.Dispatch(&about, "FileQuit"));
  EXPECT_FALSE(router.Dispatch(&about, "FileSave"));
  EXPECT_FALSE(router.Dispatch(nullptr, "FileSave"));
  EXPECT_EQ(calls, QStringList({"main FileSave", "about FileQuit"}));
}

TEST(CommandRouter, KeepsRegistrationOrderAndReplacesRepeats) {
  auto& router = CommandRouter::Instance();
  QObject window;
  int which = 0;
  router.AddMenuHandler(&window, "B", [&] {
    which = 1;
    return true;
  });
  router.AddMenuHandler(&window, "A", [&] { return true; });
  router.AddMenuHandler(&window, "B", [&] {
    which = 2;
    return true;
  });
  EXPECT_EQ(router.HandledItems(&window), QStringList({"B", "A"}));
  router.Dispatch(&window, "B");
  EXPECT_EQ(which, 2);
}

TEST(CommandRouter, ForgetsADestroyedWindow) {
  auto& router = CommandRouter::Instance();
  auto window = std::make_unique<QObject>();
  QObject* address = window.get();
  int enabled = 0;
  router.AddMenuHandler(address, "FileQuit", [] { return true; });
  router.SetEnableMenuItems(address, [&] { ++enabled; });
  EXPECT_TRUE(router.EnableMenuItems(address));
  EXPECT_EQ(enabled, 1);
  window.reset();
  EXPECT_EQ(router.HandledItems(address), QStringList());
  EXPECT_FALSE(router.EnableMenuItems(address));
  EXPECT_FALSE(router.Dispatch(address, "FileQuit"));
}

TEST(CommandRouter, AHandlerMayDestroyItsWindow) {
  auto& router = CommandRouter::Instance();
  auto* window = new QObject;
  bool ran = false;
  router.AddMenuHandler(window, "FileClose", [&] {
    delete window;
    ran = true;
    return true;
  });
  EXPECT_TRUE(router.Dispatch(window, "FileClose"));
  EXPECT_TRUE(ran);
}
