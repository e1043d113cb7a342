#include "connection.h"

#include "pipes.h"

namespace ksx4::com {
namespace {

struct DeviceConnection {
    uint32_t instance = 0;
};

// Plain values only: nothing runs when the process unloads us, so no pipe is
// closed behind the program's back at exit.
bool isOpen = false;
DeviceConnection current;

}  // namespace

bool connectionOpen() noexcept {
    return isOpen;
}

bool openConnection(uint32_t instance) noexcept {
    current = DeviceConnection{instance};
    if (!openPipes(current.instance)) {
        endConnection();
        return false;
    }
    isOpen = true;
    return true;
}

void endConnection() noexcept {
    closePipes();
    current = DeviceConnection{};
    isOpen = false;
}

PacketExchange& connectionLink() noexcept {
    return usbPipes();
}

}  // namespace ksx4::com
