#include "app/shell/AboutViewController.h"

#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Theme.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace {

enum Section { kAppSection, kContactSection };

}  // namespace

AboutViewController::AboutViewController(QWidget* parent) : ViewController(parent) { setTitle(tr("About")); }

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

int AboutViewController::numberOfSectionsInTableView(TableView&) { return 2; }

int AboutViewController::numberOfRowsInSection(TableView&, int section) { return section == kAppSection ? 1 : 2; }

QString AboutViewController::titleForHeaderInSection(TableView&, int section) {
    return section == kContactSection ? tr("Contact") : QString();
}

QString AboutViewController::titleForFooterInSection(TableView&, int section) {
    if (section == kAppSection)
        return tr(
            "Counts the text messages you send and receive, segment by segment, against your monthly "
            "allowance.");
    if (section == kContactSection)
        return tr(
            "Suggestions and bug reports are welcome.\n\nMade by the Brindlex team. Segments are counted by "
            "the GSM 03.38 alphabet.");
    return QString();
}

TableViewCell* AboutViewController::cellForRowAtIndexPath(TableView&, const IndexPath& indexPath) {
    // Contact rows carry a long address under their caption.
    const auto style =
        indexPath.section == kContactSection ? TableViewCell::Style::Subtitle : TableViewCell::Style::Value1;
    auto* cell = new TableViewCell(style, QStringLiteral("Cell"));
    cell->setSelectionStyle(TableViewCell::SelectionStyle::None);
    switch (indexPath.section) {
    case kAppSection:
        cell->textLabel()->setText(QStringLiteral("Brindlex"));
        cell->detailTextLabel()->setText(tr("Version %1").arg(versionText()));
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
        QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:%1?subject=%2")
                                           .arg(QString::fromLatin1(kFeedbackAddress), tr("Brindlex feedback"))));
    else
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebSite)));
}
