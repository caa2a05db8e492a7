#include "tools/ui/SortWindow.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <new>

#include "lists/OpenList.h"
#include "platform/EventLoop.h"
#include "platform/LongWork.h"
#include "platform/Seams.h"
#include "platform/Text.h"
#include "platform/ui/DialogSupport.h"
#include "platform/ui/Listbox.h"

namespace {

QRadioButton* AddRadio(QGroupBox* box, const QString& caption, const QString& name, QRect bounds, bool on) {
  // Bounds are given in the window; the button stands in its group box.
  auto* button = platform::Place(new QRadioButton(caption, box), name, bounds.translated(-box->pos()));
  button->setChecked(on);
  return button;
}

}  // namespace

SortWindow::SortWindow(platform::Listbox* list, lists::OpenList* openList,
                       std::function<void(const QString&)> report, QWidget* parent)
    : QWidget(parent, Qt::Window), m_list(list), m_openList(openList), m_report(std::move(report)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("SortWindow"));
  setWindowTitle(QStringLiteral("Velmora Sort..."));
  resize(378, 183);

  using platform::Place;
  StaticText1 = Place(new QLabel(QStringLiteral("Example email address: jane@m.example.com"), this),
                      QStringLiteral("StaticText1"), {6, 5, 262, 20});
  GroupBox1 =
      Place(new QGroupBox(QStringLiteral("Sort By"), this), QStringLiteral("GroupBox1"), {6, 25, 229, 122});
  IDSort = AddRadio(GroupBox1, QStringLiteral("ID (jane)"), QStringLiteral("IDSort"), {9, 44, 132, 20}, true);
  DomainSort = AddRadio(GroupBox1, QStringLiteral("Domain (i.e. example.com)"), QStringLiteral("DomainSort"),
                        {9, 66, 210, 20}, false);
  SubdomainSort = AddRadio(GroupBox1, QStringLiteral("Subdomain (i.e. m.example.com)"),
                           QStringLiteral("SubdomainSort"), {9, 88, 210, 20}, false);
  DateSort =
      AddRadio(GroupBox1, QStringLiteral("Date"), QStringLiteral("DateSort"), {9, 110, 210, 20}, false);
  GroupBox2 =
      Place(new QGroupBox(QStringLiteral("Order"), this), QStringLiteral("GroupBox2"), {247, 25, 126, 122});
  Ascending =
      AddRadio(GroupBox2, QStringLiteral("Ascending"), QStringLiteral("Ascending"), {251, 44, 100, 20}, true);
  Descending = AddRadio(GroupBox2, QStringLiteral("Descending"), QStringLiteral("Descending"),
                        {251, 65, 93, 20}, false);
  // The group boxes are known by their titles.
  for (QGroupBox* box : {GroupBox1, GroupBox2}) box->setAccessibleName(box->title());
  SortCount = Place(new QLabel(this), QStringLiteral("SortCount"), {6, 159, 213, 20});
  PushButton2 = Place(new QPushButton(QStringLiteral("Close"), this), QStringLiteral("PushButton2"),
                      {223, 154, 69, 20});
  PushButton2->setShortcut(Qt::Key_Escape);  // the cancel button
  PushButton1 =
      Place(new QPushButton(QStringLiteral("Sort"), this), QStringLiteral("PushButton1"), {304, 154, 69, 20});
  PushButton1->setDefault(true);
  PushButton1->setShortcut(Qt::Key_Return);  // the default button

  connect(PushButton1, &QPushButton::clicked, this, &SortWindow::PushButton1_Action);
  connect(PushButton2, &QPushButton::clicked, this, &SortWindow::PushButton2_Action);
}

tools::SortBy SortWindow::Option() const {
  if (DateSort->isChecked()) return tools::SortBy::Date;
  if (DomainSort->isChecked()) return tools::SortBy::Domain;
  if (SubdomainSort->isChecked()) return tools::SortBy::Subdomain;
  return tools::SortBy::Id;
}

QString SortWindow::Process(const QString& address, const QString& history) const {
  return tools::SortKey(address, history, Option());
}

void SortWindow::PushButton1_Action() {
  if (!m_list) return;
  const platform::LongWork work(this);
  QPointer<lists::OpenList> openList = m_openList;
  thetable = m_list;
  columns = 2;
  totalticks = 0;
  SortTable(0, thetable->ListCount() - 1);
  if (!work.Stopped()) SortCount->setText(QString());
  // The new order reaches the list file at the next save.
  if (openList) openList->MarkChanged();
}

void SortWindow::PushButton2_Action() {
  close();
}

void SortWindow::SortTable(int lo, int hi) {
  if (!thetable) return;
  const platform::LongWork sorting(this);
  // The sort stops when the list or this window goes; a report goes out after either.
  const QPointer<platform::Listbox> table = thetable;
  const std::function<void(const QString&)> report = m_report;
  const tools::SortProgress progress = [this, &sorting, table](long long steps, int first, int pivot,
                                                               int last) {
    if (sorting.Stopped() || !table) return false;
    totalticks = steps;
    SortCount->setText(platform::Str(static_cast<long long>(first)) + QStringLiteral(", ") +
                       platform::Str(static_cast<long long>(pivot)) + QStringLiteral(", ") +
                       platform::Str(static_cast<long long>(last)));
    platform::YieldToEventLoop();
    return !sorting.Stopped() && !table.isNull();
  };
  tools::SortOutcome outcome = tools::SortOutcome::Sorted;
  try {
    outcome = tools::SortRows(*thetable->Model(), lo, hi, Option(), Ascending->isChecked(), progress);
  } catch (const std::bad_alloc&) {
    // The keys of a very long list did not fit: the list is left as it was.
    platform::MsgBox(QStringLiteral("The stack has overflowed!"));
    return;
  }
  if (outcome == tools::SortOutcome::ListChanged) {
    report(QStringLiteral("The list changed while it was being sorted; nothing was moved. Sort it again."));
  }
}
