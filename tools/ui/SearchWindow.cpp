#include "tools/ui/SearchWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/ui/MainWindow.h"
#include "platform/ui/DialogSupport.h"
#include "platform/ui/Listbox.h"
#include "tools/AddressPattern.h"
#include "tools/ui/MessageWindow.h"

SearchWindow::SearchWindow(QPointer<MainWindow> main, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_main(std::move(main)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("SearchWindow"));
  setWindowTitle(QStringLiteral("Search for an eMail Address..."));
  resize(321, 99);

  using platform::Place;
  Address = Place(new QLineEdit(this), QStringLiteral("Address"), {6, 6, 308, 22});
  PushButton2 =
      Place(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("PushButton2"), {50, 35, 59, 20});
  PushButton2->setShortcut(Qt::Key_Escape);  // the cancel button
  Find = Place(new QPushButton(QStringLiteral("Find"), this), QStringLiteral("Find"), {121, 35, 69, 20});
  Find->setDefault(true);
  FindAll =
      Place(new QPushButton(QStringLiteral("Find all"), this), QStringLiteral("FindAll"), {202, 35, 69, 20});
  StaticText1 =
      Place(new QLabel(QStringLiteral("Note: Use \"Find Next\" from the \"Edit\" menu to find more email "
                                      "addresses containing your search string."),
                       this),
            QStringLiteral("StaticText1"), {6, 63, 311, 30});
  StaticText1->setWordWrap(true);

  connect(Find, &QPushButton::clicked, this, &SearchWindow::Find_Action);
  connect(Address, &QLineEdit::returnPressed, this, &SearchWindow::Find_Action);
  connect(FindAll, &QPushButton::clicked, this, &SearchWindow::FindAll_Action);
  connect(PushButton2, &QPushButton::clicked, this, &SearchWindow::PushButton2_Action);
}

void SearchWindow::Find_Action() {
  platform::AcceptOnce(this, m_searching, &SearchWindow::RunFind);
}

void SearchWindow::FindAll_Action() {
  platform::AcceptOnce(this, m_searching, &SearchWindow::RunFindAll);
}

void SearchWindow::PushButton2_Action() {
  close();
}

void SearchWindow::RunFind() {
  QPointer<SearchWindow> self(this);
  if (m_main) {
    m_main->SearchField = Address->text();
    m_main->FindString();
  }
  if (self) close();
}

void SearchWindow::RunFindAll() {
  if (!m_main) {
    close();
    return;
  }
  QPointer<SearchWindow> self(this);
  QPointer<MainWindow> main = m_main;
  QPointer<MessageWindow> results = new MessageWindow(main);
  results->OpenInFront();
  results->setWindowTitle(QStringLiteral("Search results..."));
  main->SearchField = Address->text();

  tools::FindAllHooks hooks;
  // The field goes with this window; the search then keeps the pattern it last read.
  QString pattern = Address->text();
  hooks.pattern = [self, &pattern] {
    if (self) pattern = self->Address->text();
    return pattern;
  };
  hooks.addRows = [results](const platform::ListModel::CellCopies& addresses) {
    if (results) results->MessageList->Model()->AppendFirstCells(addresses);
  };
  hooks.stopped = [results, main] { return !results || !main; };
  const std::optional<QString> error = tools::FindAll(main->elist->Model(), hooks);
  if (error && main) main->SetSlug(QStringLiteral("Search error = ") + *error);
  if (self) close();
}
