#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

// A platform that lists what a test puts into it and answers HID string queries from a table.
// Installed for the lifetime of the object; the previous platform comes back afterwards.
class FakeListingPlatform {
public:
    // What a HID device answers to one query: absent for a failed query, else the UTF-16 text.
    struct HidAnswers {
        std::optional<std::u16string> manufacturer;
        std::optional<std::u16string> product;
        std::optional<std::u16string> serial;
    };

    FakeListingPlatform() {
        auto fake = std::make_unique<Backend>();
        backend = fake.get();
        previous = platform::installPlatform(std::move(fake));
    }
    ~FakeListingPlatform() { platform::installPlatform(std::move(previous)); }
    FakeListingPlatform(const FakeListingPlatform&) = delete;
    FakeListingPlatform& operator=(const FakeListingPlatform&) = delete;

    // Adds an interface of `cls`, or an empty slot when `node` is absent.
    void add(platform::InterfaceClass cls, std::optional<DeviceInterfaceNode> node) {
        backend->slots[cls].push_back(std::move(node));
    }
    void addUsb(const std::string& instanceId, const std::string& path = "/sys/x") {
        add(platform::InterfaceClass::UsbDevice, DeviceInterfaceNode{instanceId, {}, {}, path});
    }
    void answerHid(const std::string& path, HidAnswers answers) {
        backend->hidDevices[path] = std::move(answers);
    }

    int lastMaxEntries() const { return backend->lastMaxEntries; }
    std::optional<platform::InterfaceClass> lastListedClass() const {
        return backend->lastListedClass;
    }

private:
    class Hid final : public platform::HidDevice {
    public:
        explicit Hid(HidAnswers given) : answers(std::move(given)) {}
        bool manufacturerString(uint16_t* buffer, std::size_t bytes) override {
            return fill(answers.manufacturer, buffer, bytes);
        }
        bool productString(uint16_t* buffer, std::size_t bytes) override {
            return fill(answers.product, buffer, bytes);
        }
        bool serialNumberString(uint16_t* buffer, std::size_t bytes) override {
            return fill(answers.serial, buffer, bytes);
        }

    private:
        static bool fill(const std::optional<std::u16string>& text, uint16_t* buffer,
                         std::size_t bytes) {
            if (!text || (text->size() + 1) * 2 > bytes)
                return false;
            for (std::size_t i = 0; i < text->size(); ++i)
                buffer[i] = (*text)[i];
            buffer[text->size()] = 0;
            return true;
        }
        HidAnswers answers;
    };

    struct Backend final : platform::Platform {
        std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass cls,
                                                                       int maxEntries) override {
            lastMaxEntries = maxEntries;
            lastListedClass = cls;
            auto listed = slots[cls];
            if (listed.size() > static_cast<std::size_t>(maxEntries))
                listed.resize(static_cast<std::size_t>(maxEntries));
            return listed;
        }
        std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string&) override {
            return nullptr;
        }
        std::unique_ptr<platform::HidDevice> openHidDevice(const std::string& path) override {
            const auto found = hidDevices.find(path);
            if (found == hidDevices.end())
                return nullptr;
            return std::make_unique<Hid>(found->second);
        }

        std::map<platform::InterfaceClass, std::vector<std::optional<DeviceInterfaceNode>>> slots;
        std::map<std::string, HidAnswers> hidDevices;
        int lastMaxEntries = -1;
        std::optional<platform::InterfaceClass> lastListedClass;
    };

    Backend* backend;
    std::unique_ptr<platform::Platform> previous;
};
