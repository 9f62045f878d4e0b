#include "tools/phone/ContactCommands.h"
#include "platform/cli/CommandLine.h"
#include "platform/TerminalText.h"

#include "platform/DevicePaths.h"
#include "tools/phone/PhoneCommand.h"

#include <algorithm>
#include <cstdio>

int ContactCommands::run(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return PhoneCommand::kUsage;
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (arguments[0] == "add") return add(rest);
    if (arguments[0] == "list" && rest.empty()) return list();
    return PhoneCommand::kUsage;
}

int ContactCommands::add(const std::vector<std::string>& arguments) {
    if (arguments.size() < 3) return PhoneCommand::kUsage;
    const std::vector<std::string> numbers(arguments.begin() + 2, arguments.end());
    if (std::any_of(numbers.begin(), numbers.end(), [](const std::string& number) { return number.empty(); }))
        return PhoneCommand::kUsage;

    AddressBookFixture book(DevicePaths::addressBook());
    if (!book.create()) return CommandLine::fail(book.lastError());
    const long long recordID = book.addContact(namePart(arguments[0]), namePart(arguments[1]), std::nullopt, numbers);
    if (recordID < 0) return CommandLine::fail(book.lastError());
    std::printf("Added contact %lld\n", recordID);
    return PhoneCommand::kSuccess;
}

int ContactCommands::list() {
    // A missing address book is an empty one, as on the phone.
    for (const auto& contact : AddressBookFixture(DevicePaths::addressBook()).contacts())
        std::printf("%lld\t%s\t%s\n", contact.recordID, TerminalText::safe(displayName(contact)).c_str(),
                    TerminalText::safe(joinNumbers(contact.numbers)).c_str());
    return PhoneCommand::kSuccess;
}

std::optional<std::string> ContactCommands::namePart(const std::string& argument) {
    // The address book keeps an absent part as NULL, not as empty text.
    if (argument.empty()) return std::nullopt;
    return argument;
}

std::string ContactCommands::displayName(const AddressBookFixture::Contact& contact) {
    std::string name = contact.first.value_or("");
    if (contact.last) name += (name.empty() ? "" : " ") + *contact.last;
    if (name.empty()) name = contact.organization.value_or("(no name)");
    return name;
}

std::string ContactCommands::joinNumbers(const std::vector<std::string>& numbers) {
    std::string joined;
    for (const auto& number : numbers) joined += (joined.empty() ? "" : ", ") + number;
    return joined;
}
