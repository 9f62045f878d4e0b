#include "app/shell/MainScreenModel.h"

#include <algorithm>
#include <utility>

MainScreenModel::MainScreenModel(QObject* parent) : QObject(parent) {}

template <typename Field, typename Value>
void MainScreenModel::change(Field& field, Value&& value) {
    field = std::forward<Value>(value);
    emit changed();
}

void MainScreenModel::loadFilterSettings(const PropertyList* settings) { settings_.loadFilterSettings(settings); }

void MainScreenModel::loadPeriod(const PropertyList* settings, std::time_t now) { settings_.loadPeriod(settings, now); }

void MainScreenModel::storeLastDate(std::time_t now) { settings_.storeLastDate(now); }

void MainScreenModel::setFromDate(std::time_t from) { change(settings_.from, from); }

void MainScreenModel::setToDate(std::time_t to) { change(settings_.to, to); }

void MainScreenModel::setPeriod(std::time_t from, std::time_t to) {
    settings_.from = from;
    settings_.to = to;
    emit changed();
}

void MainScreenModel::setMessageType(MessageType type) { change(settings_.messageType, type); }

void MainScreenModel::setSelectedPerson(std::optional<Person> person) {
    change(settings_.selectedPerson, std::move(person));
}

void MainScreenModel::addExcludedPerson(Person person) {
    settings_.excludedPersonArray.push_back(std::move(person));
    emit changed();
}

bool MainScreenModel::replaceExcludedPerson(std::size_t index, Person person) {
    if (index >= settings_.excludedPersonArray.size()) return false;
    settings_.excludedPersonArray[index] = std::move(person);
    emit changed();
    return true;
}

bool MainScreenModel::removeExcludedPerson(std::size_t index) {
    auto& excluded = settings_.excludedPersonArray;
    if (index >= excluded.size()) return false;
    excluded.erase(excluded.begin() + static_cast<std::ptrdiff_t>(index));
    emit changed();
    return true;
}

void MainScreenModel::setPersonArray(std::vector<Person> persons) {
    change(personArray_, std::move(persons));
    emit personArrayChanged();
}

void MainScreenModel::setSaveFromDate(MainScreenSettings::PeriodMode mode) { change(settings_.saveFromDate, mode); }

void MainScreenModel::setCycleDay(int day) { change(settings_.cycleDay, day); }

void MainScreenModel::setBadgeType(BadgeType type) { change(settings_.badgeType, type); }

void MainScreenModel::setSmsquota(int quota) { change(settings_.smsquota, quota); }

void MainScreenModel::setMessageCount(int count) {
    messageCount_ = count;
    hasMessageCount_ = true;
    countFailure_.clear();
    emit countChanged();
}

void MainScreenModel::setCountFailure(std::string reason) {
    // Nothing of an earlier count stands for this one.
    messageCount_ = 0;
    hasMessageCount_ = true;
    countFailure_ = reason.empty() ? std::string("the count failed") : std::move(reason);
    emit countChanged();
}

int MainScreenModel::messagesLeft() const {
    if (settings_.smsquota < 1) return -1;
    return std::max(0, settings_.smsquota - messageCount_);
}
