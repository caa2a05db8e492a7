#include <gtest/gtest.h>

#include <QObject>
#include <memory>

#include "app/CommandRouter.h"

using app::CommandRouter;

namespace {

// A handler that notes its call.
std::function<bool()> Noting(QStringList& calls, const QString& what) {
  return [&calls, what] {
    calls << what;
    return true;
  };
}

// Each window's handlers only, in the order first registered; a repeat replaces the handler.
TEST(CommandRouter, DispatchesToTheGivenWindowOnly) {
  auto& router = CommandRouter::Instance();
  QObject main, about;
  QStringList calls;
  router.AddMenuHandler(&main, "FileSave", Noting(calls, "main FileSave, replaced"));
  router.AddMenuHandler(&main, "EditCopy", Noting(calls, "main EditCopy"));
  router.AddMenuHandler(&main, "FileSave", Noting(calls, "main FileSave"));
  router.AddMenuHandler(&about, "FileQuit", Noting(calls, "about FileQuit"));
  EXPECT_EQ(router.HandledItems(&main), QStringList({"FileSave", "EditCopy"}));

  EXPECT_EQ(router.Dispatch(&main, "FileSave"), true);
  EXPECT_EQ(router.Dispatch(&main, "FileQuit"), false);  // only the about window handles Quit
  EXPECT_EQ(router.Dispatch(&about, "FileQuit"), true);
  EXPECT_EQ(router.Dispatch(&about, "FileSave"), false);
  EXPECT_EQ(router.Dispatch(nullptr, "FileSave"), false);
  EXPECT_EQ(calls, QStringList({"main FileSave", "about FileQuit"}));
}

TEST(CommandRouter, ForgetsADestroyedWindow) {
  auto& router = CommandRouter::Instance();
  auto window = std::make_unique<QObject>();
  QObject* address = window.get();
  int enabled = 0;
  router.AddMenuHandler(address, "FileQuit", [] { return true; });
  router.SetEnableMenuItems(address, [&] { ++enabled; });
  EXPECT_EQ(router.EnableMenuItems(address), true);
  EXPECT_EQ(enabled, 1);
  window.reset();
  EXPECT_EQ(router.HandledItems(address), QStringList());
  EXPECT_EQ(router.EnableMenuItems(address), false);
  EXPECT_EQ(router.Dispatch(address, "FileQuit"), false);
}

TEST(CommandRouter, AHandlerMayDestroyItsWindow) {
  auto* window = new QObject;
  bool ran = false;
  CommandRouter::Instance().AddMenuHandler(window, "FileClose", [&] {
    delete window;
    ran = true;
    return true;
  });
  EXPECT_EQ(CommandRouter::Instance().Dispatch(window, "FileClose"), true);
  EXPECT_EQ(ran, true);
}

}  // namespace
