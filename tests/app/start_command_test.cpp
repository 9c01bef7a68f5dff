// `vistrel [FOLDER]`: reading the command line, choosing the start folder, and the window it opens.
#include "app/start_command.h"
#include "support/soon.h"

#include "support/form1_test_support.h"

namespace vistrel::app::testing {
namespace {

using Action = StartCommand::Action;

TEST(ReadStartCommand, ActionsFoldersAndErrors) {
  const struct {
    QStringList args;
    Action action;
    QString folder;
    QString errorMentions;
  } cases[] = {
      {{}, Action::Open, "", ""},
      {{"pictures"}, Action::Open, "pictures", ""},
      {{"--", "-odd name"}, Action::Open, "-odd name", ""},
      {{"-"}, Action::Open, "-", ""},
      // Help and version win wherever they stand, even after a mistake.
      {{"pictures", "--version"}, Action::Version, "", ""},
      {{"-x", "-h"}, Action::Help, "", ""},
      {{"--", "--help"}, Action::Open, "--help", ""},
      {{"--fullscreen"}, Action::BadInput, "", "\"--fullscreen\""},
      {{"a", "b"}, Action::BadInput, "", "more than one FOLDER"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const StartCommand command = readStartCommand(c.args);
    EXPECT_EQ(command.action, c.action);
    EXPECT_EQ(command.folder, c.folder);
    EXPECT_TRUE(command.error.contains(c.errorMentions) &&
                command.error.isEmpty() == c.errorMentions.isEmpty())
        << command.error.toStdString();
  }
}

TEST(ChooseStartFolder, UsesAListableFolderElseTheCurrentOneWithTheReason) {
  vistrel::testing::TempFolder temp;
  std::filesystem::create_directories(temp.path() / "current" / "pictures");
  temp.write("current/notes.txt", "x");
  const QString current = qs(temp.path() / "current");
  const struct {
    QString given;
    QString folder;
    QString problemMentions;
  } cases[] = {
      {"", current, ""},
      {"pictures", current + "/pictures", ""},
      {"./pictures/../pictures/", current + "/pictures", ""},
      {qs(temp.path()), qs(temp.path()), ""},
      {"missing", current, current + "/missing\": it does not exist"},
      {"notes.txt", current, current + "/notes.txt\": it is not a folder"},
      {"notes.txt/inside", current, "it does not exist"},
      {QString(300, 'x'), current, "it cannot be reached (File name too long)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given.toStdString());
    const StartFolder start = chooseStartFolder(c.given.toStdString(), current.toStdString());
    EXPECT_EQ(qs(start.folder), c.folder);
    EXPECT_TRUE(start.problem.contains(c.problemMentions) &&
                start.problem.isEmpty() == c.problemMentions.isEmpty())
        << start.problem.toStdString();
  }
}

TEST(ChooseStartFolder, KeepsTheBytesOfANameThatIsNotUtf8) {
  vistrel::testing::TempFolder temp;
  const std::filesystem::path latin1 = temp.path() / "d\xE9j\xE0";
  std::filesystem::create_directory(latin1);
  char program[] = "vistrel";
  std::string folder = latin1.string();
  char* argv[] = {program, folder.data()};
  EXPECT_EQ(chooseStartFolder(folderArgument(2, argv), temp.path()).folder, latin1);
}

class StartWindow : public WindowTest {
 protected:
  // What main does with the arguments after the program name, on a recording message box.
  Form1& start(const QStringList& args, const QString& current) {
    const StartCommand command = readStartCommand(args);
    EXPECT_EQ(command.action, Action::Open);
    const StartFolder folder =
        chooseStartFolder(command.folder.toStdString(), current.toStdString());
    window = std::make_unique<Form1>(folder.folder, &shell);
    ui = std::make_unique<Form1Access>(*window);
    window->setMessageBox(
        [this](const QString&, const QString& text, const QString&) { messages.push_back(text); });
    showStartWindow(*window, folder);
    EXPECT_TRUE(messages.isEmpty()) << "the message came before the window was up";
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return *window;
  }
};

TEST_F(StartWindow, OpensOnTheFolderGivenElseOnTheCurrentOneAndSaysWhyOnceTheWindowIsUp) {
  makePictures(temp.path() / "holiday", 2);
  makePictures(temp.path() / "current", 3);
  const QString current = qs(temp.path() / "current");
  start({qs(temp.path() / "holiday")}, current);
  EXPECT_EQ(ui->Dir1->Path(), qs(temp.path() / "holiday"));
  EXPECT_EQ(ui->lblTotalImages->Caption(), "2");
  QTest::qWait(50);
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

  const QString missing = qs(temp.path() / "gone");
  start({missing}, current);
  EXPECT_EQ(ui->Dir1->Path(), current);
  EXPECT_EQ(ui->lblTotalImages->Caption(), "3");
  EXPECT_SOON_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].contains("\"" + missing + "\": it does not exist"))
      << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains("It shows " + current + " instead"))
      << messages[0].toStdString();
  QTest::qWait(50);
  EXPECT_EQ(messages.size(), 1);
}

}  // namespace
}  // namespace vistrel::app::testing
