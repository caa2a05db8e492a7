#include "tools/ui/HelpWindow.h"

#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <algorithm>
#include <vector>

#include "app/CommandRouter.h"
#include "platform/ui/Listbox.h"
#include "platform/ui/WindowFont.h"
#include "platform/ui/WindowFrame.h"
#include "tools/ui/AboutWindow.h"

namespace {

const QColor kMakerBlue(0, 28, 255);
const QColor kLogoRed(255, 0, 0);
const QString kProductName = QStringLiteral("Velmora");

QString HelpText() {
  const QString page = AboutWindow::kMakerPage;
  return QStringLiteral(
             "Velmora can help you to build, organize, maintain, and work with mailing lists.  The address "
             "list consists of email addresses and a list of emails that have been sent to the email "
             "address.\n"
             "\n"
             "To add addresses into a list, you can:\n"
             " - Drag and drop them from text or from files,\n"
             " - Copy and paste them from text, or\n"
             " - Use the \"New...\" menu item (Cmd-N) in the Addresses menu.\n"
             "\n"
             "SMTP Server:\n"
             "\n"
             "If you have access to an SMTP server to send mail, you'll need to use the preferences panel in "
             "order to configure the server, username, and password for your ISP or mail provider.  If you "
             "don't have access to an SMTP server, leave the SMTP preferences blank and Velmora will copy "
             "the "
             "selected addresses to the clipboard so that you can paste them into your email application "
             "(Gmail, Outlook.com, etc.).\n"
             "\n"
             "Composing email:\n"
             "\n"
             "When you send mail and you're using an SMTP server, Velmora will ask you which email you would "
             "like to send.  If you compose a new email, it will be saves in the eMail folder where the "
             "Velmora application resides.  You can always select older emails that you have already "
             "composed and that are saved in the eMail folder.  If you're not using an SMTP server, I "
             "suggest that you compose and save your email in the \"Drafts\" folder of your favorite email "
             "application.  After that, you can always pull up a copy of the email, paste the email "
             "addresses from Velmora that you want to send the mail to, and then simply send it.\n"
             "\n"
             "Naming email:\n"
             "\n"
             "When naming emails in Velmora, I suggest that you keep the names short, so that multiple names "
             "fit within the list entries, and you can see them without double-clicking to see the entire "
             "list of emails.\n"
             "\n"
             "Black listing:\n"
             "\n"
             "When you receive requests to take people off your mailing list, you can either just delete "
             "those email addresses from the list, or you can \"Black List\" those email addresses in order "
             "to keep record of the email addresses not to send to.  To remove an address from the black "
             "list, select it and select the \"Black List\" menu item a second time.\n"
             "\n"
             "Opting out:\n"
             "\n"
             "Velmora lets you check the addresses you have collected against an opt-out list kept by "
             "Harlock Development.  People who do not wish to receive email sent with Velmora can register "
             "their address on the opt-out page at %1optout/.  In order to check your collected addresses "
             "against the opt-out list, select the email addresses that you wish to check in Velmora's main "
             "window.  Then go to and select the \"Check OptOut List\" menu item in the \"Addresses\" menu.  "
             "Note that in some countries it's against the law to send unsolicited email to people not "
             "wishing to receive it.  It is your responsibility to check the opt-out list before sending "
             "email to addresses that haven't opted-in to your list, and your liability if you don't.\n"
             "\n"
             "Searching:\n"
             "\n"
             "\"Find\" and \"Find Next\", found in the \"Edit\" menu find any occurence of the search string "
             "within any email address.  They always follow in ascending order.  You can \"Find All\" by "
             "selecting the \"Find\" menu item in the \"Edit\" menu, and then clicking the \"Find all\" "
             "button in Find's search window.  Find all uses Perl's syntax for wildcards.  For an "
             "abbreviated list of Perl's syntax, select the \"Find all Syntax\" tab above.\n"
             "\n"
             "Enjoy,\n"
             "\n"
             "Sam Harlock\n"
             "Harlock Development\n"
             "%1")
      .arg(page);
}

// The pattern table as one text: rows end in a line break, a tab parts a row's two cells,
// the first row holds the headings.
QString SyntaxTable() {
  return QString::fromUtf8(
      "Pattern\tDesription\n"
      "*\tZero or more characters.  ***Be careful with this one - it's not exactly what you're used to!\n"
      "+\tOne or more characters. d+ finds one or more consecutive \u201Cd\u201Ds.\n"
      "?\tZero or one character. d? finds a d or nothing.\n"
      ".\tAny single character except a line break.\n"
      "^\tThe beginning of a line.\n"
      "$\tThe end of a line.\n"
      "[a-z0-9]\tAny one character of the set: here a lowercase letter or a digit.\n"
      "[^a-z0-9]\tAny one character not in the set.\n"
      "\\d\tAny digit (0-9).\n"
      "\\D\tAny character that is not a digit.\n"
      "\\w\tAny word character: a letter, a digit or an underscore.\n"
      "\\W\tAny character that is not a word character.\n"
      "\\s\tAny white space: a blank, a tab, a return, a line feed or a form feed.\n"
      "\\S\tAny character that is not white space.\n"
      "\\n\tMatches a line feed.\n"
      "\\r\tMatches a return.\n"
      "\\t\tMatches a tab.\n"
      "\\f\tMatches a form feed.\n"
      "\\b\tMatches a backspace.\n"
      "\\0\tMatches a null character.\n"
      "\\000\tAlso matches a null character because of the following:\n"
      "\\nnn\tMatches the character whose octal code is nnn.\n"
      "\\xnn\tMatches the character whose hexadecimal code is nn.\n"
      "\\cX\tMatches the control character Control-X.\n"
      "\\metachar\tMatches the special character itself; \\. finds a dot.\n"
      "(abc)\tGroups abc and remembers what it matched.\n"
      "\\1, \\2,\u2026\tMatches whatever first (second, and so on) of parens matched.\n"
      "x?\tZero or one x.\n"
      "x*\tZero or more x's.\n"
      "x+\tOne or more x's.\n"
      "x{m,n}\tAt least m and at most n x's.\n"
      "abc\ta, then b, then c.\n"
      "a|b|c\ta or b or c.\n"
      "\\b\tMatches a word boundary (outside [] only).\n"
      "\\B\tMatches anywhere but at a word boundary.\n"
      "^\tMatches at the start of the text or of a line.\n"
      "$\tMatches at the end of the text or of a line.\n"
      "[aeiou]\tAny one of the characters listed.\n"
      "[^aeiou]\tAny character but those listed.\n"
      "[a-e]\tAny character from a to e.\n"
      "[a-zA-Z0-9]\tAny alphanumeric character. Note: Case-sensitivity is controlled by the CaseSensitive "
      "property of the RegExOptions class.\n"
      "[[]\tFinds a [.\n"
      "[]]\tFinds a ]. To find a a closing bracket, place it immediately after the opening bracket.\n"
      "[a-e^]\tAny character from a to e, or a ^; a ^ that is not first stands for itself.\n"
      "[a-c-]\tAny character from a to c, or a hyphen; a hyphen first or last stands for itself.\n"
      "\\r\tLine break (return)\n"
      "\\n\tLine feed (new line)\n"
      "\\t\tTab\n"
      "\\f\tForm feed\n"
      "\\xNN\tThe character whose hexadecimal code is NN\n"
      "\\s\tAny white space character\n"
      "\\S\tAny character but white space\n"
      "\\w\tAny \u201Cword\u201D character (a-z, A-Z, 0-9, and _)\n"
      "\\W\tAny non-\u201Cword\u201D character\n"
      "\\d\tAny digit (0-9)\n"
      "\\D\tAny character but a digit");
}

constexpr int kTabTop = 107;

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QMainWindow(parent) {
  Layout();
  CreateControls();
  AddMenuHandlers();
}

void HelpWindow::Layout() {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Help!"));
  // The commands reach this window through the shared menu bar; File > Close is its own.
  m_content = InstallMenuBarAndContent(*this, {64, 64});
  SetSize(667, 587);
}

int HelpWindow::Width() const {
  return m_content->width();
}

int HelpWindow::Height() const {
  return m_content->height();
}

void HelpWindow::SetSize(int width, int height) {
  SizeContentArea(*this, {width, height});
}

void HelpWindow::CreateControls() {
  _CreateControls0();
}

QLabel* HelpWindow::AddLabel(const QString& name, const QString& text, QRect bounds, int pixelSize,
                             QColor color) {
  auto* label = new QLabel(text, m_content);
  label->setObjectName(name);
  label->setGeometry(bounds);
  label->setFont(platform::WindowFont(pixelSize));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
  return label;
}

void HelpWindow::_CreateControls0() {
  StaticText1 =
      AddLabel(QStringLiteral("StaticText1"), QStringLiteral("Harlock"), {266, 58, 89, 18}, 20, kMakerBlue);
  StaticText3 = AddLabel(QStringLiteral("StaticText3"), QStringLiteral("Development"), {292, 80, 100, 14}, 12,
                         kMakerBlue);
  StaticText7 =
      AddLabel(QStringLiteral("StaticText7"), AboutWindow::kMakerPage, {241, 92, 171, 14}, 9, kMakerBlue);
  // The logo: the product name split after its first letter, the letter in red.
  StaticText5 = AddLabel(QStringLiteral("StaticText5"), kProductName.left(1), {241, 1, 30, 55}, 48, kLogoRed);
  StaticText6 =
      AddLabel(QStringLiteral("StaticText6"), kProductName.mid(1), {268, 1, 144, 55}, 48, Qt::black);
  // Read aloud, the logo's first letter stands for the whole name.
  StaticText5->setAccessibleName(kProductName);
  // Widened rightwards where the design width cuts the name off in the fonts at hand.
  StaticText6->resize(std::max(StaticText6->width(), StaticText6->sizeHint().width()), StaticText6->height());

  TabPanel1 = new QTabWidget(m_content);
  TabPanel1->setObjectName(QStringLiteral("TabPanel1"));
  TabPanel1->setGeometry(8, kTabTop, 651, 474);
  TabPanel1->setFont(platform::WindowFont(12));
  const QString tabs[] = {QStringLiteral("General"), QStringLiteral("Find all Syntax")};
  for (const QString& tab : tabs) {
    auto* page = new QWidget;
    page->setAccessibleName(tab);
    TabPanel1->addTab(page, tab);
  }

  // The text and the table stand above the panel and show with their tab; each is known
  // by its tab's caption.
  EditField1 = new QPlainTextEdit(m_content);
  EditField1->setObjectName(QStringLiteral("EditField1"));
  EditField1->setAccessibleName(tabs[0]);
  EditField1->setGeometry(13, 143, 641, 433);
  EditField1->setFont(platform::WindowFont(12));
  EditField1->setReadOnly(true);
  EditField1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  EditField1->setPlainText(HelpText());

  ListBox1 = new platform::Listbox(2, m_content);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setAccessibleName(tabs[1]);
  ListBox1->setGeometry(13, 143, 641, 433);
  ListBox1->setFont(platform::WindowFont(12));
  ListBox1->SetMultipleSelection(false);
  ListBox1->SetColumnWidths({100});
  QStringList lines = SyntaxTable().split(QLatin1Char('\n'));
  ListBox1->Model()->SetHeadings(lines.takeFirst().split(QLatin1Char('\t')));
  std::vector<QStringList> rows;
  for (const QString& line : lines) rows.push_back(line.split(QLatin1Char('\t')));
  ListBox1->Model()->AppendRows(std::move(rows));

  EditField1->raise();
  ListBox1->raise();
  connect(TabPanel1, &QTabWidget::currentChanged, this, &HelpWindow::ShowControlsOfTab);
  TabPanel1->setCurrentIndex(0);
  ShowControlsOfTab(0);
}

void HelpWindow::ShowControlsOfTab(int tab) {
  EditField1->setVisible(tab == 0);
  ListBox1->setVisible(tab == 1);
}

void HelpWindow::OpenInFront() {
  show();
  raise();
  activateWindow();
}

void HelpWindow::AddMenuHandlers() {
  app::CommandRouter::Instance().AddMenuHandler(this, QStringLiteral("FileClose"),
                                                [this] { return _FileClose_Action(); });
}

bool HelpWindow::_FileClose_Action() {
  close();
  return false;
}

void HelpWindow::Event_Resized() {
  // Below some 150 pixels of height the rule gives negative heights; they stop at 0.
  TabPanel1->resize(std::max(0, Width() - 16), std::max(0, Height() - TabPanel1->y() - 5));
  const QSize inner(std::max(0, TabPanel1->width() - 10), std::max(0, TabPanel1->height() - 40));
  EditField1->resize(inner);
  ListBox1->resize(inner);
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_content && event->type() == QEvent::Resize) Event_Resized();
  return QMainWindow::eventFilter(watched, event);
}
