#include "tools/ui/SearchWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/LongWork.h"
#include "platform/ui/DialogSupport.h"
#include "platform/ui/Listbox.h"
#include "tools/AddressPattern.h"
#include "tools/ui/MessageWindow.h"

SearchWindow::SearchWindow(Owners owners, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_owners(std::move(owners)) {
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

// Both searches yield: a button pressed again meanwhile must not start a second one.
void SearchWindow::Find_Action() {
  platform::AcceptOnce(this, &SearchWindow::RunFind);
}

void SearchWindow::FindAll_Action() {
  platform::AcceptOnce(this, &SearchWindow::RunFindAll);
}

void SearchWindow::PushButton2_Action() {
  close();
}

// Both searches work on a copy of the owners: they yield, and this window may go meanwhile.

void SearchWindow::RunFind() {
  const platform::LongWork work(this);
  const Owners owners = m_owners;
  if (owners.list) {
    owners.setSearchText(Address->text());
    owners.findString();
  }
  if (!work.Stopped()) close();
}

void SearchWindow::RunFindAll() {
  const Owners owners = m_owners;
  if (!owners.list) {
    close();
    return;
  }
  const platform::LongWork finding(this);
  QPointer<MessageWindow> results = owners.newResultsWindow();
  results->OpenInFront();
  results->setWindowTitle(QStringLiteral("Search results..."));
  owners.setSearchText(Address->text());

  tools::FindAllHooks hooks;
  // The field goes with this window; the search then keeps the pattern it last read.
  QString pattern = Address->text();
  hooks.pattern = [this, &finding, &pattern] {
    if (!finding.Stopped()) pattern = Address->text();
    return pattern;
  };
  hooks.addRows = [results](const platform::ListModel::CellCopies& addresses) {
    if (results) results->MessageList->Model()->AppendFirstCells(addresses);
  };
  const QPointer<platform::Listbox> list = owners.list;
  hooks.stopped = [results, list] { return !results || !list; };
  const std::optional<QString> error = tools::FindAll(list->Model(), hooks);
  if (error && list) owners.report(QStringLiteral("Search error = ") + *error);
  if (!finding.Stopped()) close();
}
