#include "faces/usb/usbfs_device.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <stdexcept>

#include <utility>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <umockdev.h>

#include "faces/usb/usb_descriptors.h"

namespace vreader::usb {

namespace {

constexpr std::size_t kSetupSize = 8;

// One URB a client submitted, held until it is reaped or discarded.
class Urb {
public:
    Urb(UMockdevIoctlClient* client, UMockdevIoctlData* urb)
        : client_(static_cast<UMockdevIoctlClient*>(g_object_ref(client))),
          urb_(static_cast<UMockdevIoctlData*>(g_object_ref(urb))) {}
    ~Urb() {
        g_object_unref(urb_);
        g_object_unref(client_);
    }
    Urb(const Urb&) = delete;
    Urb& operator=(const Urb&) = delete;

    usbdevfs_urb& fields() { return *reinterpret_cast<usbdevfs_urb*>(urb_->data); }
    UMockdevIoctlData* data() const { return urb_; }
    UMockdevIoctlClient* client() const { return client_; }
    gulong address() const { return urb_->client_addr; }

    // Completes the URB with IN bytes (cut to its buffer), copied when it is reaped.
    void complete(const Bytes& bytes, int status) {
        const auto room = static_cast<std::size_t>(std::max(fields().buffer_length, 0));
        inData.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(room, bytes.size())));
        fields().actual_length = static_cast<int>(inData.size());
        fields().status = status;
    }

    Bytes inData;

private:
    UMockdevIoctlClient* client_;
    UMockdevIoctlData* urb_;
};

using UrbQueue = std::deque<std::unique_ptr<Urb>>;

std::uint16_t little16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

// The answer of endpoint 0 to a control request: the data stage, or nothing for a
// stall (class requests GET_CLOCK_FREQUENCIES and GET_DATA_RATES included: the
// reader announces no list of either).
std::optional<Bytes> controlAnswer(const std::uint8_t* setup) {
    constexpr std::uint8_t kDeviceToHost = 0x80;
    constexpr std::uint8_t kGetStatus = 0x00;
    constexpr std::uint8_t kGetDescriptor = 0x06;
    constexpr std::uint8_t kGetConfiguration = 0x08;
    const std::uint8_t requestType = setup[0];
    const std::uint8_t request = setup[1];
    const std::uint16_t value = little16(setup + 2);
    if ((requestType & kDeviceToHost) == 0) return Bytes{};  // SET_*, CCID ABORT: accepted
    if (requestType != kDeviceToHost) return std::nullopt;
    if (request == kGetStatus) return Bytes{0x00, 0x00};
    if (request == kGetConfiguration) return Bytes{0x01};
    if (request != kGetDescriptor) return std::nullopt;
    switch (value >> 8) {
        case 1: return deviceDescriptor();
        case 2: return configurationDescriptor();
        case 3: return stringDescriptor(static_cast<std::uint8_t>(value & 0xFF));
        default: return std::nullopt;
    }
}

}  // namespace

struct UsbfsDevice::State {
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    std::string root;
    int wake = -1;

    mutable std::mutex lock;
    UrbQueue bulkIn, interruptIn, done;
    std::deque<Bytes> bulkInReplies;
    std::optional<Bytes> interruptMessage;
    std::vector<Bytes> bulkOut;
    bool plugged = false;
    UsbfsCounters counters;
    // The device node as a FIFO kept writable exactly while a URB can be reaped.
    int fifo = -1;
    bool fifoWritable = true;

    void matchReplies();
    void updateFifo();
    void finish(std::unique_ptr<Urb> urb) { done.push_back(std::move(urb)); }
    void endAllInFlight(int status);
    void dropClient(UMockdevIoctlClient* client);

    // Ioctls, on umockdev's worker thread.
    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    bool takeBackSlotChange(UMockdevIoctlClient* client, gulong address);
    void capabilities(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void control(Urb& urb);

    void addDevice();
    void makeFifoNode();
};

void UsbfsDevice::State::matchReplies() {
    while (!bulkIn.empty() && !bulkInReplies.empty()) {
        bulkIn.front()->complete(bulkInReplies.front(), 0);
        bulkInReplies.pop_front();
        finish(std::move(bulkIn.front()));
        bulkIn.pop_front();
    }
    if (!interruptIn.empty() && interruptMessage) {
        interruptIn.front()->complete(*interruptMessage, 0);
        interruptMessage.reset();
        finish(std::move(interruptIn.front()));
        interruptIn.pop_front();
    }
    updateFifo();
}

// umockdev's device nodes are regular files, which poll() reports writable at all
// times, and libusb, which waits for a writable node as the kernel signals a
// reapable URB, would reap in a busy loop. A full FIFO is not writable: it is
// filled while nothing can be reaped and emptied when something can.
void UsbfsDevice::State::updateFifo() {
    if (fifo < 0) return;
    static char page[4096];
    const bool want = !done.empty();
    if (want && !fifoWritable) {
        while (::read(fifo, page, sizeof page) > 0) {}
        fifoWritable = true;
    } else if (!want && fifoWritable) {
        while (::write(fifo, page, sizeof page) > 0) {}
        fifoWritable = false;
    }
}

void UsbfsDevice::State::endAllInFlight(int status) {
    for (UrbQueue* queue : {&bulkIn, &interruptIn}) {
        for (auto& urb : *queue) {
            urb->complete({}, status);
            finish(std::move(urb));
        }
        queue->clear();
    }
    bulkInReplies.clear();
    interruptMessage.reset();
    updateFifo();
}

void UsbfsDevice::State::dropClient(UMockdevIoctlClient* client) {
    std::lock_guard guard(lock);
    for (UrbQueue* queue : {&bulkIn, &interruptIn, &done}) {
        std::erase_if(*queue, [client](const auto& urb) { return urb->client() == client; });
    }
    updateFifo();
}

void UsbfsDevice::State::control(Urb& urb) {
    auto& fields = urb.fields();
    if (fields.buffer_length < static_cast<int>(kSetupSize)) {
        fields.status = -EPIPE;
        return;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(urb.data(), offsetof(usbdevfs_urb, buffer),
                                                            static_cast<gsize>(fields.buffer_length), nullptr);
    if (!buffer) {
        fields.status = -EFAULT;
        return;
    }
    const auto reply = controlAnswer(buffer->data);
    if (!reply) {
        fields.status = -EPIPE;
        fields.actual_length = 0;
    } else {
        const std::size_t room = static_cast<std::size_t>(fields.buffer_length) - kSetupSize;
        const std::size_t asked = little16(buffer->data + 6);
        const std::size_t length = std::min({reply->size(), room, asked});
        std::copy_n(reply->begin(), length, buffer->data + kSetupSize);
        // libusb counts the data stage only, without the setup bytes.
        fields.actual_length = static_cast<int>(length);
        fields.status = 0;
    }
    g_object_unref(buffer);
}

void UsbfsDevice::State::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (!data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    auto urb = std::make_unique<Urb>(client, data);
    g_object_unref(data);
    const usbdevfs_urb fields = urb->fields();
    std::lock_guard guard(lock);
    ++counters.urbs;
    if (!plugged) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    if (fields.type == USBDEVFS_URB_TYPE_CONTROL) {
        control(*urb);
        finish(std::move(urb));
    } else if (fields.endpoint == kBulkOut) {
        // Only OUT buffers are read at submit: an IN buffer (libccid reads with
        // about 64 KiB) is written at reap, just the reply's bytes.
        UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
            urb->data(), offsetof(usbdevfs_urb, buffer), static_cast<gsize>(std::max(fields.buffer_length, 0)), nullptr);
        if (buffer) {
            bulkOut.emplace_back(buffer->data, buffer->data + buffer->data_len);
            g_object_unref(buffer);
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = ::write(wake, &one, sizeof one);
        }
        urb->fields().actual_length = fields.buffer_length;
        urb->fields().status = 0;
        finish(std::move(urb));
    } else if (fields.endpoint == kBulkIn) {
        bulkIn.push_back(std::move(urb));
    } else if (fields.endpoint == kInterruptIn) {
        interruptIn.push_back(std::move(urb));
    } else {
        urb->complete({}, -EPIPE);
        finish(std::move(urb));
    }
    matchReplies();
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbfsDevice::State::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    std::unique_ptr<Urb> urb;
    {
        std::lock_guard guard(lock);
        const auto found = std::find_if(done.begin(), done.end(),
                                        [client](const auto& candidate) { return candidate->client() == client; });
        if (found != done.end()) {
            urb = std::move(*found);
            done.erase(found);
        } else {
            ++counters.emptyReaps;
        }
        updateFifo();
        if (!urb) {
            umockdev_ioctl_client_complete(client, -1, plugged ? EAGAIN : ENODEV);
            return;
        }
    }
    if (!urb->inData.empty()) {
        UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(urb->data(), offsetof(usbdevfs_urb, buffer),
                                                                urb->inData.size(), nullptr);
        if (buffer) {
            std::copy(urb->inData.begin(), urb->inData.end(), buffer->data);
            g_object_unref(buffer);
        }
    }
    UMockdevIoctlData* where = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    if (!where) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    umockdev_ioctl_data_set_ptr(where, 0, urb->data());
    g_object_unref(where);
    umockdev_ioctl_client_complete(client, 0, 0);
}

// DISCARDURB carries the URB's address itself. A discarded URB is reaped with
// -ENOENT: libusb's timeouts and the stop of pcscd's card polling wait for it.
void UsbfsDevice::State::discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const gulong address = *reinterpret_cast<const gulong*>(arg->data);
    bool found = false;
    {
        std::lock_guard guard(lock);
        for (UrbQueue* queue : {&interruptIn, &bulkIn}) {
            const auto it = std::find_if(queue->begin(), queue->end(), [&](const auto& urb) {
                return urb->address() == address && urb->client() == client;
            });
            if (it == queue->end()) continue;
            (*it)->complete({}, -ENOENT);
            finish(std::move(*it));
            queue->erase(it);
            found = true;
            break;
        }
        if (!found) found = takeBackSlotChange(client, address);
        updateFifo();
    }
    umockdev_ioctl_client_complete(client, found ? 0 : -1, found ? 0 : EINVAL);
}

// pcscd stops the CCID driver's interrupt read at every disconnect. When that read
// has just been given a NotifySlotChange that the driver has not reaped yet, the
// discard wins: the message goes back to wait for the next interrupt URB, so that a
// card change is never lost between two reads.
bool UsbfsDevice::State::takeBackSlotChange(UMockdevIoctlClient* client, gulong address) {
    const auto it = std::find_if(done.begin(), done.end(), [&](const auto& urb) {
        return urb->address() == address && urb->client() == client && urb->fields().endpoint == kInterruptIn;
    });
    if (it == done.end()) return false;
    if (!(*it)->inData.empty() && !interruptMessage) interruptMessage = (*it)->inData;
    (*it)->complete({}, -ENOENT);
    return true;
}

void UsbfsDevice::State::capabilities(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
    if (!data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    // Scatter-gather, or libusb cuts every 64 KiB read of the CCID driver into 16 KiB URBs.
    const std::uint32_t capabilities = USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_BULK_CONTINUATION |
                                       USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT |
                                       USBDEVFS_CAP_ZERO_PACKET;
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&capabilities), sizeof capabilities, data->data);
    g_object_unref(data);
    umockdev_ioctl_client_complete(client, 0, 0);
}

namespace {

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto& state = *static_cast<UsbfsDevice::State*>(self);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    {
        std::lock_guard guard(state.lock);
        ++state.counters.ioctls;
    }
    switch (request) {
        case USBDEVFS_SUBMITURB: state.submit(client, arg); break;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: state.reap(client, arg); break;
        case USBDEVFS_DISCARDURB: state.discard(client, arg); break;
        case USBDEVFS_GET_CAPABILITIES: state.capabilities(client, arg); break;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESET:
        case USBDEVFS_RESETEP: umockdev_ioctl_client_complete(client, 0, 0); break;
        default: umockdev_ioctl_client_complete(client, -1, ENOTTY); break;
    }
    return TRUE;
}

void onClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<UsbfsDevice::State*>(self)->dropClient(client);
}

}  // namespace

void UsbfsDevice::State::addDevice() {
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, deviceRecord().c_str(), &error) ||
        !umockdev_testbed_add_from_string(testbed, interfaceRecord().c_str(), &error)) {
        std::string message = std::string("umockdev refuses the reader: ") + (error ? error->message : "?");
        if (error) g_error_free(error);
        throw std::runtime_error(message);
    }
    makeFifoNode();
}

void UsbfsDevice::State::makeFifoNode() {
    const std::string path = root + kDeviceNode;
    if (fifo >= 0) ::close(fifo);
    fifo = -1;
    if (::unlink(path.c_str()) != 0 || ::mkfifo(path.c_str(), 0666) != 0) {
        throw std::runtime_error("cannot make the device node a FIFO: " + path);
    }
    fifo = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fifo < 0) throw std::runtime_error("cannot open the device node FIFO: " + path);
    fifoWritable = true;
    updateFifo();
}

UsbfsDevice::UsbfsDevice() : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    s.testbed = umockdev_testbed_new();
    s.handler = umockdev_ioctl_base_new();
    char* root = umockdev_testbed_get_root_dir(s.testbed);
    s.root = root;
    g_free(root);
    g_signal_connect(s.handler, "handle-ioctl", G_CALLBACK(onIoctl), &s);
    g_signal_connect(s.handler, "client-vanished", G_CALLBACK(onClientVanished), &s);
    GError* error = nullptr;
    if (s.wake < 0 || !umockdev_testbed_attach_ioctl(s.testbed, kDeviceNode, s.handler, &error)) {
        if (error) g_error_free(error);
        g_object_unref(s.handler);
        g_object_unref(s.testbed);
        if (s.wake >= 0) ::close(s.wake);
        throw std::runtime_error("umockdev cannot serve the reader's device node");
    }
    plug();
}

UsbfsDevice::~UsbfsDevice() {
    State& s = *state_;
    umockdev_testbed_detach_ioctl(s.testbed, kDeviceNode, nullptr);
    g_object_unref(s.handler);
    g_object_unref(s.testbed);
    {
        std::lock_guard guard(s.lock);
        s.bulkIn.clear();
        s.interruptIn.clear();
        s.done.clear();
    }
    if (s.fifo >= 0) ::close(s.fifo);
    ::close(s.wake);
}

std::string UsbfsDevice::testbedRoot() const { return state_->root; }

int UsbfsDevice::wakeDescriptor() const { return state_->wake; }

std::vector<Bytes> UsbfsDevice::takeBulkOut() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto read = ::read(state_->wake, &count, sizeof count);
    std::lock_guard guard(state_->lock);
    return std::exchange(state_->bulkOut, {});
}

void UsbfsDevice::sendBulkIn(Bytes bytes) {
    std::lock_guard guard(state_->lock);
    if (!state_->plugged) return;
    state_->bulkInReplies.push_back(std::move(bytes));
    state_->matchReplies();
}

void UsbfsDevice::setInterruptMessage(Bytes bytes) {
    std::lock_guard guard(state_->lock);
    if (!state_->plugged) return;
    state_->interruptMessage = std::move(bytes);
    state_->matchReplies();
}

// In flight URBs end with -ENODEV, as the kernel ends them when a device goes; then
// udev reports the interface and the device removed.
void UsbfsDevice::unplug() {
    State& s = *state_;
    {
        std::lock_guard guard(s.lock);
        if (!s.plugged) return;
        s.plugged = false;
        s.bulkOut.clear();
        s.endAllInFlight(-ENODEV);
    }
    umockdev_testbed_uevent(s.testbed, kInterfaceSysPath, "remove");
    umockdev_testbed_uevent(s.testbed, kDeviceSysPath, "remove");
    umockdev_testbed_remove_device(s.testbed, kInterfaceSysPath);
    umockdev_testbed_remove_device(s.testbed, kDeviceSysPath);
}

// Adding the records sends udev's "add" events.
void UsbfsDevice::plug() {
    State& s = *state_;
    std::lock_guard guard(s.lock);
    if (s.plugged) return;
    s.addDevice();
    s.plugged = true;
}

bool UsbfsDevice::plugged() const {
    std::lock_guard guard(state_->lock);
    return state_->plugged;
}

UsbfsCounters UsbfsDevice::counters() const {
    std::lock_guard guard(state_->lock);
    return state_->counters;
}

}  // namespace vreader::usb
