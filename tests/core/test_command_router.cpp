#include <gtest/gtest.h>

#include <QObject>

#include "app/CommandRouter.h"

using app::CommandRouter;

// A command reaches only the handler of the window it is given; a handler may delete its
// own window, and a deleted window's handlers and enabler are forgotten.
TEST(CommandRouter, DispatchesToTheGivenLiveWindowOnly) {
  auto& router = CommandRouter::Instance();
  QObject main;
  auto* about = new QObject;
  QStringList calls;
  router.AddMenuHandler(&main, "FileSave", [&] {
    calls << "main FileSave";
    return true;
  });
  router.AddMenuHandler(about, "FileQuit", [&] {
    delete about;
    calls << "about FileQuit";
    return true;
  });
  router.SetEnableMenuItems(about, [] {});
  EXPECT_EQ(router.Dispatch(&main, "FileQuit"), false);
  EXPECT_EQ(router.Dispatch(&main, "FileSave"), true);
  EXPECT_EQ(router.Dispatch(about, "FileQuit"), true);
  EXPECT_EQ(router.Dispatch(about, "FileQuit"), false);
  EXPECT_EQ(router.EnableMenuItems(about), false);
  EXPECT_EQ(calls, QStringList({"main FileSave", "about FileQuit"}));
}
