#include "ui/categories_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "base/text_helpers.h"
#include "config/translator.h"
#include "reports/report_set.h"
#include "reports/run_context.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/window_host.h"

namespace trelvar::ui {

namespace {

bool GoodName(const std::string& name) {
  return !Trim(name).empty() && name.find_first_of("\r\n") == std::string::npos;
}

}  // namespace

// --- the edited list -----------------------------------------------------------

TCategoryEdit::TCategoryEdit(const TRepParser& set) {
  old_count_ = static_cast<int>(set.categories.size());
  for (int i = 0; i < old_count_; ++i)
    entries_.push_back({set.categories[static_cast<size_t>(i)].name, {i}});
  for (const auto& r : set.reports) report_numbers_.push_back(r->category_no);
}

int TCategoryEdit::ReportCount(int index) const {
  const TEntry& e = entries_.at(static_cast<size_t>(index));
  return static_cast<int>(std::count_if(report_numbers_.begin(), report_numbers_.end(), [&](int n) {
    return std::find(e.old_numbers.begin(), e.old_numbers.end(), n) != e.old_numbers.end();
  }));
}

bool TCategoryEdit::Add(const std::string& name) {
  if (!GoodName(name)) return false;
  entries_.push_back({name, {}});
  return true;
}

bool TCategoryEdit::Rename(int index, const std::string& name) {
  if (index < 0 || index >= Count() || !GoodName(name)) return false;
  entries_[static_cast<size_t>(index)].name = name;
  return true;
}

bool TCategoryEdit::Remove(int index) {
  if (index < 0 || index >= Count()) return false;
  if (Count() == 1) {
    if (ReportCount(0) > 0) return false;
    entries_.clear();
    return true;
  }
  // Its reports stay together with the neighbour before it (after it, for
  // the first).
  const size_t heir = index == 0 ? 1 : static_cast<size_t>(index - 1);
  const std::vector<int>& gone = entries_[static_cast<size_t>(index)].old_numbers;
  entries_[heir].old_numbers.insert(entries_[heir].old_numbers.end(), gone.begin(), gone.end());
  entries_.erase(entries_.begin() + index);
  return true;
}

void TCategoryEdit::Move(int from, int to) {
  if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to) return;
  TEntry e = std::move(entries_[static_cast<size_t>(from)]);
  entries_.erase(entries_.begin() + from);
  entries_.insert(entries_.begin() + to, std::move(e));
}

void TCategoryEdit::ApplyTo(TRepParser& set) const {
  std::map<int, int> new_number;
  for (size_t i = 0; i < entries_.size(); ++i)
    for (int old : entries_[i].old_numbers) new_number[old] = static_cast<int>(i);
  // All at once: renumbering one category after another would merge a
  // category with the one that took its number first.
  for (auto& r : set.reports) {
    const auto it = new_number.find(r->category_no);
    if (it != new_number.end()) r->category_no = it->second;
  }
  set.categories.clear();
  for (const TEntry& e : entries_) set.AddCategory(e.name);
}

// --- the dialog ----------------------------------------------------------------

TfrmCategories::TfrmCategories(TfrmMainW& main, QWidget* parent)
    : QDialog(parent != nullptr ? parent : &main), main_(main), edit_(*main.Context().report_set) {
  setObjectName(QStringLiteral("frmCategories"));
  setWindowTitle(Tr(2260, "Report categories"));
  lstCategories_ = new QListWidget(this);
  lstCategories_->setObjectName(QStringLiteral("lstCategories"));
  lstCategories_->setEditTriggers(QAbstractItemView::DoubleClicked |
                                  QAbstractItemView::EditKeyPressed);

  auto button = [this](const char* name, const QString& text, QStyle::StandardPixmap icon) {
    auto* b = new QPushButton(style()->standardIcon(icon), text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  QPushButton* btnAdd = button("btnAddCategory", Tr(2262, "&Add..."), QStyle::SP_FileDialogNewFolder);
  btnRename_ = button("btnRenameCategory", Tr(2263, "&Rename"), QStyle::SP_FileDialogDetailedView);
  btnRename_->setShortcut(QKeySequence(Qt::Key_F2));
  btnDelete_ = button("btnDeleteCategory", Tr(2264, "&Delete"), QStyle::SP_TrashIcon);
  btnUp_ = button("btnCategoryUp", Tr(2265, "Move &up"), QStyle::SP_ArrowUp);
  btnDown_ = button("btnCategoryDown", Tr(2266, "Move do&wn"), QStyle::SP_ArrowDown);

  auto* side = new QVBoxLayout;
  for (QPushButton* b : {btnAdd, btnRename_, btnDelete_, btnUp_, btnDown_}) side->addWidget(b);
  side->addStretch(1);
  auto* row = new QHBoxLayout;
  row->addWidget(lstCategories_, 1);
  row->addLayout(side);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOK"));
  buttons->button(QDialogButtonBox::Ok)->setText(Tr(2267, "OK"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
  buttons->button(QDialogButtonBox::Cancel)->setText(Tr(2268, "Cancel"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row, 1);
  layout->addWidget(buttons);
  resize(460, 340);

  connect(buttons, &QDialogButtonBox::accepted, this, &TfrmCategories::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TfrmCategories::reject);
  connect(btnAdd, &QPushButton::clicked, this, &TfrmCategories::AddClick);
  connect(btnRename_, &QPushButton::clicked, this, &TfrmCategories::RenameClick);
  connect(btnDelete_, &QPushButton::clicked, this, &TfrmCategories::DeleteClick);
  connect(btnUp_, &QPushButton::clicked, this, [this] { MoveClick(-1); });
  connect(btnDown_, &QPushButton::clicked, this, [this] { MoveClick(1); });
  connect(lstCategories_, &QListWidget::itemChanged, this, &TfrmCategories::ItemRenamed);
  connect(lstCategories_, &QListWidget::currentRowChanged, this, [this](int row) {
    btnRename_->setEnabled(row >= 0);
    btnDelete_->setEnabled(row >= 0);
    btnUp_->setEnabled(row > 0);
    btnDown_->setEnabled(row >= 0 && row + 1 < edit_.Count());
  });
  Refill(0);
}

void TfrmCategories::Refill(int select) {
  filling_ = true;
  lstCategories_->clear();
  for (int i = 0; i < edit_.Count(); ++i) {
    auto* item = new QListWidgetItem(Q(edit_.Name(i)), lstCategories_);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setToolTip(Tr(2269, "Reports in this category: %1").arg(edit_.ReportCount(i)));
  }
  filling_ = false;
  lstCategories_->setCurrentRow(std::min(select, edit_.Count() - 1));
  const int row = lstCategories_->currentRow();
  btnRename_->setEnabled(row >= 0);
  btnDelete_->setEnabled(row >= 0);
  btnUp_->setEnabled(row > 0);
  btnDown_->setEnabled(row >= 0 && row + 1 < edit_.Count());
}

int TfrmCategories::Selected() const { return lstCategories_->currentRow(); }

void TfrmCategories::AddClick() {
  // The new entry is named at once and opened for typing its own name.
  const QString base = Tr(2270, "New category");
  QString name = base;
  for (int n = 2;; ++n) {
    bool taken = false;
    for (int i = 0; i < edit_.Count(); ++i) taken = taken || Q(edit_.Name(i)) == name;
    if (!taken) break;
    name = base + QStringLiteral(" %1").arg(n);
  }
  edit_.Add(S(name));
  Refill(edit_.Count() - 1);
  lstCategories_->editItem(lstCategories_->currentItem());
}

void TfrmCategories::RenameClick() {
  if (QListWidgetItem* item = lstCategories_->currentItem()) lstCategories_->editItem(item);
}

void TfrmCategories::ItemRenamed(QListWidgetItem* item) {
  if (filling_ || item == nullptr) return;
  const int row = lstCategories_->row(item);
  if (!edit_.Rename(row, S(item->text()))) {
    main_.Host().ShowError(Translate(2271, "A category needs a name of one line."));
    Refill(row);
  }
}

void TfrmCategories::DeleteClick() {
  const int row = Selected();
  if (row < 0) return;
  const int reports = edit_.ReportCount(row);
  if (reports > 0 && edit_.Count() == 1) {
    main_.Host().ShowError(Translate(
        2272, "The last category cannot be deleted while reports belong to it."));
    return;
  }
  if (reports > 0) {
    const int heir = row == 0 ? 1 : row - 1;
    const std::string question = FormatText(
        Translate(2273, "The category \"%1\" holds %2 report(s). They will move to the category "
                        "\"%3\". Delete the category?"),
        {edit_.Name(row), std::to_string(reports), edit_.Name(heir)});
    if (!main_.Host().Ask({question, false, nullptr})) return;
  }
  edit_.Remove(row);
  Refill(row == 0 ? 0 : row - 1);
}

void TfrmCategories::MoveClick(int step) {
  const int row = Selected();
  const int to = row + step;
  if (row < 0 || to < 0 || to >= edit_.Count()) return;
  edit_.Move(row, to);
  Refill(to);
}

void TfrmCategories::accept() {
  main_.Guarded([this] { edit_.ApplyTo(*main_.Context().report_set); });
  QDialog::accept();
}

}  // namespace trelvar::ui
