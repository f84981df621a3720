#include "sim/LoaderWire.h"

namespace sim {

namespace {

struct CommandShape {
    Command command;
    std::size_t requestBytes;
    std::size_t replyBytes;
    const char* name;
};

constexpr CommandShape kShapes[] = {
    {Command::Connect, kShortRequestSize, 2, "connect"},
    {Command::Disconnect, kShortRequestSize, 2, "disconnect"},
    {Command::Write, kMemoryRequestSize, 2, "write"},
    {Command::Erase, kMemoryRequestSize, 2, "erase"},
    {Command::Crc, kMemoryRequestSize, 6, "crc"},
    {Command::Info, kShortRequestSize, 77, "info"},
};

const CommandShape* shapeOf(uint8_t tag) {
    for (const CommandShape& shape : kShapes) {
        if (commandTag(shape.command) == tag)
            return &shape;
    }
    return nullptr;
}

}  // namespace

bool isCommandTag(uint8_t tag) {
    return shapeOf(tag) != nullptr;
}

std::size_t requestSize(Command command) {
    const CommandShape* shape = shapeOf(commandTag(command));
    return shape ? shape->requestBytes : 0;
}

std::size_t replySize(Command command) {
    const CommandShape* shape = shapeOf(commandTag(command));
    return shape ? shape->replyBytes : 0;
}

const char* commandName(Command command) {
    const CommandShape* shape = shapeOf(commandTag(command));
    return shape ? shape->name : "unknown";
}

}  // namespace sim
