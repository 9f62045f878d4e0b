#pragma once

#include "app/shell/MainScreenSettings.h"
#include "common/BadgeType.h"
#include "common/MessageType.h"
#include "common/Person.h"

#include <QObject>

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

class PropertyList;

// What the main screen shows and the filter screens edit: the period, the
// message type, the person filter, the exclusions, the preferences, the
// people to pick from and the count. The screens change it only through
// these setters; every change of a setting emits changed(), on which the
// main screen recounts and redraws, and a new count emits countChanged().
// Loading from the settings file emits nothing: the main screen redraws
// itself after a load.
class MainScreenModel : public QObject {
    Q_OBJECT

public:
    explicit MainScreenModel(QObject* parent = nullptr);

    // The settings as the file stores them.
    const MainScreenSettings& settings() const { return settings_; }
    // See MainScreenSettings: the filters once at launch, the period at
    // launch and every activation, the save when the app leaves the front.
    void loadFilterSettings(const PropertyList* settings);
    void loadPeriod(const PropertyList* settings, std::time_t now);
    // The period start recomputed and every setting written back; the
    // badge is the caller's (MainScreenSettings::badgeCount).
    void storeLastDate(std::time_t now);

    std::time_t from() const { return settings_.from; }
    std::time_t to() const { return settings_.to; }
    void setFromDate(std::time_t from);
    void setToDate(std::time_t to);
    // Both ends in one change, so the screen recounts once.
    void setPeriod(std::time_t from, std::time_t to);

    MessageType messageType() const { return settings_.messageType; }
    void setMessageType(MessageType type);
    const std::optional<Person>& selectedPerson() const { return settings_.selectedPerson; }
    void setSelectedPerson(std::optional<Person> person);

    // Contacts (record ID) and bare numbers (-1), in the order they were added.
    const std::vector<Person>& excludedPersonArray() const { return settings_.excludedPersonArray; }
    void addExcludedPerson(Person person);
    // False when `index` is past the end (nothing changes).
    bool replaceExcludedPerson(std::size_t index, Person person);
    bool removeExcludedPerson(std::size_t index);

    // The people of the counter database, for the person filter.
    const std::vector<Person>& personArray() const { return personArray_; }
    void setPersonArray(std::vector<Person> persons);

    MainScreenSettings::PeriodMode saveFromDate() const { return settings_.saveFromDate; }
    void setSaveFromDate(MainScreenSettings::PeriodMode mode);
    int cycleDay() const { return settings_.cycleDay; }
    void setCycleDay(int day);
    BadgeType badgeType() const { return settings_.badgeType; }
    void setBadgeType(BadgeType type);
    int smsquota() const { return settings_.smsquota; }
    void setSmsquota(int quota);
    bool hideSMS() const { return settings_.hideSMS; }

    // "Total Messages" and "Messages Left" (-1: no quota). Until the first
    // count arrives there is no number to show, rather than a 0 that would
    // be wrong.
    bool hasMessageCount() const { return hasMessageCount_; }
    int messageCount() const { return messageCount_; }
    void setMessageCount(int count);
    int messagesLeft() const;
    // The last count failed: there is no total, only the reason, until a
    // count succeeds again.
    bool countFailed() const { return !countFailure_.empty(); }
    const std::string& countFailure() const { return countFailure_; }
    void setCountFailure(std::string reason);

signals:
    void changed();
    void countChanged();
    // The person list was replaced (after changed()).
    void personArrayChanged();

private:
    // Stores a setting's new value and tells the screens.
    template <typename Field, typename Value>
    void change(Field& field, Value&& value);

    MainScreenSettings settings_;
    std::vector<Person> personArray_;
    int messageCount_ = 0;
    bool hasMessageCount_ = false;
    std::string countFailure_;
};
