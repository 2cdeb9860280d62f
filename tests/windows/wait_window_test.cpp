#include <gtest/gtest.h>

#include "services/wait_message.h"
#include "support/gui_driver.h"
#include "ui/wait_window.h"

TEST(WaitWindow, ShowsEachTextAtOnceWhileTheThreadStaysBusy) {
  TWaitWindow wait(nullptr);
  ASSERT_TRUE(wait.Created());
  SetWaitMessageDisplay(&wait);
  ShowWaitMessage("Enregistrement du catalogue de C:\\");
  // No message is processed between the call and these checks: the text
  // must already be there and the window shown.
  EXPECT_TRUE(IsWindowVisible(wait.Handle()));
  EXPECT_EQ(TextOf(wait.Handle()), "Pivalune 98 - Patientez");
  EXPECT_EQ(wait.Attendre.Text(), "Enregistrement du catalogue de C:\\");
  RECT client;
  GetClientRect(wait.Handle(), &client);
  EXPECT_EQ(client.right, 423);
  EXPECT_EQ(client.bottom, 31);
  ShowWaitMessage("Analyse de Base de registres");
  EXPECT_EQ(wait.Attendre.Text(), "Analyse de Base de registres");
  HideWaitMessage();
  EXPECT_FALSE(IsWindowVisible(wait.Handle()));
  SetWaitMessageDisplay(nullptr);
}
