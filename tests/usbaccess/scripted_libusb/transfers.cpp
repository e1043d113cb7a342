// Bulk and interrupt transfers, and the tester behind them: a command on the
// OUT endpoint is answered from the tester's memories, and the reply waits
// for the next IN transfer. Time-outs are reported at once.
#include "bus.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace ksx4::test::scripted_libusb {
namespace {

// The fault the plan gives this transfer, if any.
std::optional<Fault> nextFault(FaultPlan& plan) {
    if (plan.skip > 0) {
        --plan.skip;
        return std::nullopt;
    }
    if (plan.times <= 0) return std::nullopt;
    --plan.times;
    return plan.fault;
}

// Stricter than Linux's usbfs, which sends a bulk request to an interrupt
// endpoint (and the reverse) as the endpoint's own type and claims an
// unclaimed interface on the fly: here the transfer fails, so that the
// access library's choice of endpoint, type and claim is what is checked.
bool acceptable(const libusb_device_handle& handle, unsigned char endpoint, bool interrupt) {
    if (!handle.claimed) return false;
    const Endpoint* found = handle.device->record->endpoint(endpoint);
    const uint8_t wanted = interrupt ? LIBUSB_TRANSFER_TYPE_INTERRUPT : LIBUSB_TRANSFER_TYPE_BULK;
    return found != nullptr && found->type == wanted;
}

int commandOut(DeviceRecord& record, const unsigned char* data, int length, int& transferred) {
    transferred = length;
    record.tester.commandOut(std::span(data, static_cast<size_t>(length)));
    return LIBUSB_SUCCESS;
}

int replyIn(const std::shared_ptr<DeviceRecord>& record, unsigned char endpoint, bool padded,
            unsigned char* data, int length, int& transferred) {
    const auto reply = record->tester.replyIn(padded, record->endpoint(endpoint)->maxPacketSize);
    if (!reply) return LIBUSB_ERROR_TIMEOUT;  // a silent tester
    const int offered = static_cast<int>(reply->bytes.size());
    transferred = std::min(offered, length);
    if (transferred > 0) std::memcpy(data, reply->bytes.data(), static_cast<size_t>(transferred));
    // The reply has left the tester; after a reset reply it starts again.
    if (reply->restart) bus().restart(record);
    // The device offered more than the buffer holds.
    return offered > length ? LIBUSB_ERROR_OVERFLOW : LIBUSB_SUCCESS;
}

int transfer(libusb_device_handle& handle, unsigned char endpoint, bool interrupt,
             unsigned char* data, int length, int& transferred) {
    if (length < 0 || (data == nullptr && length > 0)) return LIBUSB_ERROR_INVALID_PARAM;
    if (!handle.device->onBus) return LIBUSB_ERROR_NO_DEVICE;
    if (!acceptable(handle, endpoint, interrupt)) return LIBUSB_ERROR_IO;
    const std::shared_ptr<DeviceRecord> record = handle.device->record;
    const bool in = (endpoint & LIBUSB_ENDPOINT_IN) != 0;
    const std::optional<Fault> fault = nextFault(in ? record->inFaults : record->outFaults);
    if (fault == Fault::Timeout) return LIBUSB_ERROR_TIMEOUT;
    if (fault == Fault::IoError) return LIBUSB_ERROR_IO;
    if (fault == Fault::DeviceGone) {
        bus().leave(*record);
        return LIBUSB_ERROR_NO_DEVICE;
    }
    if (!in) return commandOut(*record, data, length, transferred);
    return replyIn(record, endpoint, fault == Fault::PaddedReply, data, length, transferred);
}

int recordedTransfer(libusb_device_handle* handle, unsigned char endpoint, bool interrupt,
                     unsigned char* data, int length, int* transferred, unsigned timeout,
                     const char* call) {
    const HandlingEvents handling(call);
    int result = 0;
    {
        std::unique_lock lock(bus().mutex);
        libusb_device_handle& checked = bus().handle(handle, call);
        const bool in = (endpoint & LIBUSB_ENDPOINT_IN) != 0;
        bus().waitIfHeld(lock, *checked.device->record, in ? Held::InTransfer : Held::OutTransfer);
        int count = 0;
        result = transfer(checked, endpoint, interrupt, data, length, count);
        if (transferred) *transferred = count;
        ++bus().counters.transfers;
        bus().transfers.push_back(TransferRecord{checked.device->record->id, endpoint, interrupt,
                                                 length, result, count, timeout});
    }
    // Waiting for the transfer handles libusb's events: hotplug callbacks
    // run on the transferring thread.
    deliverPendingEvents();
    return result;
}

}  // namespace
}  // namespace ksx4::test::scripted_libusb

using ksx4::test::scripted_libusb::recordedTransfer;

extern "C" {

int libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                         int length, int* transferred, unsigned int timeout) {
    return recordedTransfer(handle, endpoint, false, data, length, transferred, timeout,
                            "libusb_bulk_transfer");
}

int libusb_interrupt_transfer(libusb_device_handle* handle, unsigned char endpoint,
                              unsigned char* data, int length, int* transferred,
                              unsigned int timeout) {
    return recordedTransfer(handle, endpoint, true, data, length, transferred, timeout,
                            "libusb_interrupt_transfer");
}

}  // extern "C"
