#include "ui/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <limits>

#include "base/text_helpers.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "reports/run_context.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/window_host.h"

namespace trelvar::ui {

namespace {

QLabel* Caption(QWidget* parent, const char* name, const QString& text, QWidget* buddy) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setBuddy(buddy);
  return l;
}

// The number in `edit` when it is an integer from `low` to `high`; else
// the reason, naming the field by its caption.
bool ReadNumber(const QLineEdit& edit, const QString& caption, int low, int high, int& out,
                QString& error) {
  int n = 0;
  if (TryStrToInt(Trim(S(edit.text())), n) && n >= low && n <= high) {
    out = n;
    return true;
  }
  error = Tr(2285, "\"%1\" is not a valid value for \"%2\": give a whole number from %3 to %4.")
              .arg(edit.text(), caption)
              .arg(low)
              .arg(high);
  return false;
}

QString Bare(const QString& caption) {
  QString text = caption;
  text.remove(QLatin1Char('&'));
  if (text.endsWith(QLatin1Char(':'))) text.chop(1);
  return text;
}

}  // namespace

QCheckBox* TfrmOptions::Check(QWidget* parent, const char* name, const QString& text,
                              const QString& hint, bool value) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setToolTip(hint);
  box->setChecked(value);
  return box;
}

QLineEdit* TfrmOptions::Edit(QWidget* parent, const char* name, const QString& hint,
                             const QString& value) {
  auto* edit = new QLineEdit(value, parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setToolTip(hint);
  return edit;
}

TfrmOptions::TfrmOptions(TfrmMainW& main) : QDialog(&main), main_(main) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(Tr(2250, "Options"));
  const TMainSettings& s = *main.Context().settings;
  const auto number = [](int n) { return QString::number(n); };

  pnlPages_ = new QTabWidget(this);
  pnlPages_->setObjectName(QStringLiteral("pnlOptionsPages"));

  // Pages written.
  auto* pages = new QWidget(pnlPages_);
  chkShowNavigationBar_ = Check(pages, "chkShowNavigationBar", Tr(2251, "Navigation &bar on report pages"),
                                {},
                                s.show_navigation_bar);
  chkShowReportCategories_ =
      Check(pages, "chkShowReportCategories", Tr(2253, "Report list as a &category tree"),
            {}, s.show_report_categories);
  chkShowTimeRange_ = Check(pages, "chkShowTimeRange", Tr(2255, "&Time range on report pages"),
                            {},
                            s.show_time_range);
  chkShowDeveloperInformation_ =
      Check(pages, "chkShowDeveloperInformation", Tr(2257, "&Developer line on report pages"), {},
            s.show_developer_information);
  chkCleanOutputFolder_ =
      Check(pages, "chkCleanOutputFolder", Tr(2258, "C&lean the output folder before writing"),
            Tr(2259, "Deletes the old pages and images of the output folder (log files stay)"),
            s.clean_output_folder);
  chkAutoExportIntoExcel_ =
      Check(pages, "chkAutoExportIntoExcel", Tr(2275, "Write a C&SV file for every report"),
            {}, s.auto_export_into_excel);
  chkShowResultsInBrowser_ =
      Check(pages, "chkShowResultsInBrowser", Tr(2277, "Show results in the system bro&wser"),
            {}, s.show_results_in_browser);
  chkAutoStartBrowser_ =
      Check(pages, "chkAutoStartBrowser", Tr(2279, "&Open the reports after a console run"), {},
            s.auto_start_browser);
  auto* pages_layout = new QVBoxLayout(pages);
  for (QCheckBox* box : {chkShowNavigationBar_, chkShowReportCategories_, chkShowTimeRange_,
                         chkShowDeveloperInformation_, chkCleanOutputFolder_, chkAutoExportIntoExcel_,
                         chkShowResultsInBrowser_, chkAutoStartBrowser_})
    pages_layout->addWidget(box);
  pages_layout->addStretch(1);
  pnlPages_->addTab(pages, Tr(2280, "Pages"));

  // Analysis.
  auto* analysis = new QWidget(pnlPages_);
  chkReverseDNSLookup_ =
      Check(analysis, "chkReverseDNSLookup", Tr(2281, "&Reverse DNS lookup"),
            Tr(2282, "Find the host names of the client addresses (slow on large logs)"),
            s.reverse_dns_lookup);
  edtDNSLookupThreads_ = Edit(analysis, "edtDNSLookupThreads",
                              Tr(2283, "How many lookups run at the same time (1 to 200)"),
                              number(s.dns_lookup_threads));
  chkApproximateAnalysis_ =
      Check(analysis, "chkApproximateAnalysis", Tr(2284, "A&pproximate analysis"),
            {},
            s.approximate_analysis);
  edtApproximateTolerance_ = Edit(analysis, "edtApproximateTolerance",
                                  {},
                                  number(s.approximate_tolerance));
  chkIncrementalAnalysis_ =
      Check(analysis, "chkIncrementalAnalysis", Tr(2288, "&Incremental analysis"),
            Tr(2289, "Keep a cache per site and read only the lines added since the last analysis"),
            s.incremental_analysis);
  chkAutoRecognizeLogFormat_ =
      Check(analysis, "chkAutoRecognizeLogFormat", Tr(2291, "Recognize the log &format of every file"),
            {}, s.auto_recognize_log_format);
  chkCaseSensitiveURLs_ = Check(analysis, "chkCaseSensitiveURLs",
                                Tr(2292, "URLs are &case-sensitive"), {}, s.case_sensitive_urls);
  edtTimeOffset_ = Edit(analysis, "edtTimeOffset",
                        Tr(2293, "Minutes added to every log time (may be negative)"),
                        number(s.time_offset));
  edtWebPageExtensions_ = Edit(analysis, "edtWebPageExtensions",
                               Tr(2294, "File extensions that count as pages, e.g. .htm.html.php"),
                               Q(s.web_page_extensions));
  edtVisPathExtensions_ = Edit(analysis, "edtVisPathExtensions",
                               Tr(2295, "File extensions that count as steps of visitor paths"),
                               Q(s.vis_path_extensions));
  auto* analysis_form = new QFormLayout(analysis);
  analysis_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  analysis_form->addRow(chkReverseDNSLookup_);
  analysis_form->addRow(Caption(analysis, "lblDNSLookupThreads", Tr(2296, "Lookup &threads:"),
                                edtDNSLookupThreads_),
                        edtDNSLookupThreads_);
  analysis_form->addRow(chkApproximateAnalysis_);
  analysis_form->addRow(Caption(analysis, "lblApproximateTolerance", Tr(2297, "T&olerance:"),
                                edtApproximateTolerance_),
                        edtApproximateTolerance_);
  analysis_form->addRow(chkIncrementalAnalysis_);
  analysis_form->addRow(chkAutoRecognizeLogFormat_);
  analysis_form->addRow(chkCaseSensitiveURLs_);
  analysis_form->addRow(
      Caption(analysis, "lblTimeOffset", Tr(2298, "Time offset (&minutes):"), edtTimeOffset_),
      edtTimeOffset_);
  analysis_form->addRow(Caption(analysis, "lblWebPageExtensions", Tr(2299, "Pag&e extensions:"),
                                edtWebPageExtensions_),
                        edtWebPageExtensions_);
  analysis_form->addRow(Caption(analysis, "lblVisPathExtensions", Tr(2229, "Path e&xtensions:"),
                                edtVisPathExtensions_),
                        edtVisPathExtensions_);
  pnlPages_->addTab(analysis, Tr(2239, "Analysis"));

  // Language.
  auto* language = new QWidget(pnlPages_);
  cbxLanguage_ = new QComboBox(language);
  cbxLanguage_->setObjectName(QStringLiteral("cbxLanguage"));
  cbxLanguage_->setToolTip(Tr(2249, "The language of the windows and of the report pages"));
  if (const TLangTranslator* t = main.Context().translator.get()) {
    for (const std::string& name : t->Languages()) cbxLanguage_->addItem(Q(name));
    cbxLanguage_->setCurrentIndex(t->CurrentIndex());
  }
  auto* language_form = new QFormLayout(language);
  language_form->addRow(Caption(language, "lblLanguage", Tr(2274, "&Language:"), cbxLanguage_),
                        cbxLanguage_);
  pnlPages_->addTab(language, Tr(2221, "Language"));

  // Mail.
  auto* mail = new QWidget(pnlPages_);
  edtSmtpServer_ = Edit(mail, "edtSmtpServer", {},
                        Q(s.smtp_server));
  edtSmtpPort_ = Edit(mail, "edtSmtpPort", {}, number(s.smtp_port));
  edtMailUserID_ = Edit(mail, "edtMailUserID", {},
                        Q(s.mail_user_id));
  edtMailPassword_ = Edit(mail, "edtMailPassword", {}, Q(s.mail_password));
  edtMailPassword_->setEchoMode(QLineEdit::Password);
  edtMailSender_ = Edit(mail, "edtMailSender", {}, Q(s.mail_sender));
  edtMailDefReciever_ = Edit(mail, "edtMailDefReciever",
                             {},
                             Q(s.mail_def_reciever));
  edtMailSubject_ = Edit(mail, "edtMailSubject", {}, Q(s.mail_subject));
  edtMailMessage_ = new QPlainTextEdit(mail);
  edtMailMessage_->setObjectName(QStringLiteral("edtMailMessage"));
  QString message = Q(s.mail_message);
  message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  edtMailMessage_->setPlainText(message);
  edtMailMessage_->setTabChangesFocus(true);
  auto* mail_form = new QFormLayout(mail);
  mail_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  mail_form->addRow(Caption(mail, "lblSmtpServer", Tr(2252, "SMTP &server:"), edtSmtpServer_), edtSmtpServer_);
  mail_form->addRow(Caption(mail, "lblSmtpPort", Tr(2254, "&Port:"), edtSmtpPort_), edtSmtpPort_);
  mail_form->addRow(Caption(mail, "lblMailUserID", Tr(2256, "&User name:"), edtMailUserID_),
                    edtMailUserID_);
  mail_form->addRow(Caption(mail, "lblMailPassword", Tr(2276, "Pass&word:"), edtMailPassword_),
                    edtMailPassword_);
  mail_form->addRow(Caption(mail, "lblMailSender", Tr(2278, "Se&nder address:"), edtMailSender_),
                    edtMailSender_);
  mail_form->addRow(
      Caption(mail, "lblMailDefReciever", Tr(2286, "&Default recipient:"), edtMailDefReciever_),
      edtMailDefReciever_);
  mail_form->addRow(Caption(mail, "lblMailSubject", Tr(2287, "Su&bject:"), edtMailSubject_),
                    edtMailSubject_);
  mail_form->addRow(Caption(mail, "lblMailMessage", Tr(2261, "&Message:"), edtMailMessage_),
                    edtMailMessage_);
  pnlPages_->addTab(mail, Tr(2219, "Mail"));

  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOK"));
  buttons->button(QDialogButtonBox::Ok)->setText(Tr(2267, "OK"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
  buttons->button(QDialogButtonBox::Cancel)->setText(Tr(2268, "Cancel"));
  buttons->button(QDialogButtonBox::Help)->setObjectName(QStringLiteral("btnHelp"));
  buttons->button(QDialogButtonBox::Help)->setText(Tr(2208, "Help"));
  connect(buttons, &QDialogButtonBox::accepted, this, &TfrmOptions::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TfrmOptions::reject);
  connect(buttons, &QDialogButtonBox::helpRequested, this, &TfrmOptions::Help);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pnlPages_, 1);
  layout->addWidget(buttons);
  resize(560, 460);
}

void TfrmOptions::Help() {
  const bool mail = pnlPages_->currentIndex() == pnlPages_->count() - 1;
  main_.ShowHelp(mail ? "options_mail.htm" : "options.htm");
}

bool TfrmOptions::Store(QString& error) {
  // Every number first: a bad one stores nothing.
  int threads = 0, tolerance = 0, offset = 0, port = 0;
  const int most = std::numeric_limits<int>::max();
  struct TNumber {
    QLineEdit* edit;
    const char* label;
    int low, high;
    int* out;
    int page;
  };
  const TNumber numbers[] = {
      {edtDNSLookupThreads_, "lblDNSLookupThreads", 1, 200, &threads, 1},
      {edtApproximateTolerance_, "lblApproximateTolerance", 1, most, &tolerance, 1},
      {edtTimeOffset_, "lblTimeOffset", std::numeric_limits<int>::min(), most, &offset, 1},
      {edtSmtpPort_, "lblSmtpPort", 1, 65535, &port, 3},
  };
  for (const TNumber& n : numbers) {
    const auto* label = findChild<QLabel*>(QString::fromLatin1(n.label));
    if (!ReadNumber(*n.edit, label != nullptr ? Bare(label->text()) : QString(), n.low, n.high,
                    *n.out, error)) {
      pnlPages_->setCurrentIndex(n.page);
      n.edit->setFocus();
      n.edit->selectAll();
      return false;
    }
  }
  if (edtMailSubject_->text().contains(QLatin1Char('\n'))) edtMailSubject_->setText({});

  TMainSettings& s = *main_.Context().settings;
  s.show_navigation_bar = chkShowNavigationBar_->isChecked();
  s.show_report_categories = chkShowReportCategories_->isChecked();
  s.show_time_range = chkShowTimeRange_->isChecked();
  s.show_developer_information = chkShowDeveloperInformation_->isChecked();
  s.clean_output_folder = chkCleanOutputFolder_->isChecked();
  s.auto_export_into_excel = chkAutoExportIntoExcel_->isChecked();
  s.show_results_in_browser = chkShowResultsInBrowser_->isChecked();
  s.auto_start_browser = chkAutoStartBrowser_->isChecked();
  s.reverse_dns_lookup = chkReverseDNSLookup_->isChecked();
  s.dns_lookup_threads = threads;
  s.approximate_analysis = chkApproximateAnalysis_->isChecked();
  s.approximate_tolerance = tolerance;
  s.incremental_analysis = chkIncrementalAnalysis_->isChecked();
  s.auto_recognize_log_format = chkAutoRecognizeLogFormat_->isChecked();
  s.case_sensitive_urls = chkCaseSensitiveURLs_->isChecked();
  s.time_offset = offset;
  // These are kept in lower case, as main.ini is read.
  s.web_page_extensions = LowerCase(Trim(S(edtWebPageExtensions_->text())));
  s.vis_path_extensions = LowerCase(Trim(S(edtVisPathExtensions_->text())));
  s.smtp_server = LowerCase(Trim(S(edtSmtpServer_->text())));
  s.smtp_port = port;
  s.mail_user_id = LowerCase(Trim(S(edtMailUserID_->text())));
  s.mail_password = S(edtMailPassword_->text());
  s.mail_sender = LowerCase(Trim(S(edtMailSender_->text())));
  s.mail_def_reciever = LowerCase(Trim(S(edtMailDefReciever_->text())));
  s.mail_subject = S(edtMailSubject_->text());
  QString message = edtMailMessage_->toPlainText();
  message.remove(QLatin1Char('\r'));
  message.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  s.mail_message = S(message);

  TLangTranslator* translator = main_.Context().translator.get();
  if (translator != nullptr && cbxLanguage_->currentIndex() >= 0 &&
      cbxLanguage_->currentIndex() != translator->CurrentIndex()) {
    translator->SelectByIndex(cbxLanguage_->currentIndex());
    main_.RetranslateTexts();
  }
  main_.Guarded([&s] { s.Save(); });
  return true;
}

void TfrmOptions::accept() {
  QString error;
  if (!Store(error)) {
    main_.Host().ShowError(S(error));
    return;
  }
  QDialog::accept();
}

}  // namespace trelvar::ui
