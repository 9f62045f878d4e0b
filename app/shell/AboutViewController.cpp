#include "app/shell/AboutViewController.h"

#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Theme.h"

#include <QCoreApplication>
#include <QDesktopServices>

namespace {

std::function<void(const QUrl&)>& urlOpener() {
    static std::function<void(const QUrl&)> opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return opener;
}

enum Section { kAppSection, kCreditsSection, kContactSection };

}  // namespace

AboutViewController::AboutViewController(RootViewController* rv, QWidget* parent) : ViewController(parent), rv_(rv) {
    setTitle(tr("About"));
}

void AboutViewController::setUrlOpener(std::function<void(const QUrl&)> opener) { urlOpener() = std::move(opener); }

QString AboutViewController::versionText() {
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("0.1.0") : version;
}

void AboutViewController::viewDidLoad() {
    table_ = new TableView(TableView::Style::Grouped, this);
    table_->setGeometry(0, 0, Theme::windowWidth, Theme::contentHeight);
    table_->setDataSource(this);
    table_->setDelegate(this);
}

int AboutViewController::numberOfSectionsInTableView(TableView&) { return 3; }

int AboutViewController::numberOfRowsInSection(TableView&, int section) {
    if (section == kAppSection) return 1;
    return section == kCreditsSection ? 2 : 2;
}

QString AboutViewController::titleForHeaderInSection(TableView&, int section) {
    if (section == kCreditsSection) return tr("Credits");
    if (section == kContactSection) return tr("Contact");
    return QString();
}

QString AboutViewController::titleForFooterInSection(TableView&, int section) {
    if (section == kAppSection)
        return tr("Counts the text messages you send and receive, segment by segment, against your monthly "
                  "allowance.");
    if (section == kContactSection) return tr("Suggestions and bug reports are welcome.");
    return QString();
}

TableViewCell* AboutViewController::cellForRowAtIndexPath(TableView&, const IndexPath& indexPath) {
    auto* cell = new TableViewCell(TableViewCell::Style::Value1, QStringLiteral("Cell"));
    cell->setSelectionStyle(TableViewCell::SelectionStyle::None);
    switch (indexPath.section) {
    case kAppSection:
        cell->textLabel()->setText(QStringLiteral("Brindlex"));
        cell->detailTextLabel()->setText(tr("Version %1").arg(versionText()));
        break;
    case kCreditsSection:
        cell->textLabel()->setText(indexPath.row == 0 ? tr("Design and code") : tr("Segment rules"));
        cell->detailTextLabel()->setText(indexPath.row == 0 ? tr("The Brindlex team") : tr("GSM 03.38"));
        break;
    default:
        cell->textLabel()->setText(indexPath.row == 0 ? tr("Send Feedback") : tr("Web Site"));
        cell->detailTextLabel()->setText(indexPath.row == 0 ? QString::fromLatin1(kFeedbackAddress)
                                                            : QStringLiteral("www.brindlex.org"));
        cell->setAccessoryType(TableViewCell::Accessory::DisclosureIndicator);
        cell->setSelectionStyle(TableViewCell::SelectionStyle::Blue);
        break;
    }
    return cell;
}

void AboutViewController::didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    table.deselectRowAtIndexPath(indexPath, true);
    if (indexPath.section != kContactSection) return;
    if (indexPath.row == 0)
        urlOpener()(QUrl(QStringLiteral("mailto:%1?subject=%2")
                             .arg(QString::fromLatin1(kFeedbackAddress), tr("Brindlex feedback"))));
    else
        urlOpener()(QUrl(QString::fromLatin1(kWebSite)));
}
