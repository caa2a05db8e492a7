#include <gtest/gtest.h>

#include <QObject>

#include "app/CommandRouter.h"

// A command reaches only the handler of the window it is given; a handler may delete its
// own window, and a deleted window's handlers and enabler are forgotten.
TEST(CommandRouter, DispatchesToTheGivenLiveWindowOnly) {
  auto& router = app::CommandRouter::Instance();
  QObject main;
  auto* about = new QObject;
  QStringList calls;
  router.AddMenuHandler(&main, "FileSave", [&] { return calls << "main FileSave", true; });
  router.AddMenuHandler(about, "FileQuit", [&] { return delete about, calls << "about FileQuit", true; });
  router.SetEnableMenuItems(about, [] {});
  EXPECT_EQ(QList<bool>({router.Dispatch(&main, "FileQuit"), router.Dispatch(&main, "FileSave"),
                         router.Dispatch(about, "FileQuit"), router.Dispatch(about, "FileQuit"),
                         router.EnableMenuItems(about)}),
            QList<bool>({false, true, true, false, false}));
  EXPECT_EQ(calls, QStringList({"main FileSave", "about FileQuit"}));
}
