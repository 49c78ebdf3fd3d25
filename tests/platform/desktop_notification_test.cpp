// The desktop side of shell notifications against a notification service of our own on a
// private session bus: what a desktop receives when a program adds and removes one.
#include <gio/gio.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/run_program.h"
#include "tests/support/temp_device.h"

namespace fs = std::filesystem;

namespace {

const char kInterface[] =
    "<node><interface name='org.freedesktop.Notifications'>"
    "<method name='Notify'><arg type='s' direction='in'/><arg type='u' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='as' direction='in'/><arg type='a{sv}' direction='in'/>"
    "<arg type='i' direction='in'/><arg type='u' direction='out'/></method>"
    "<method name='CloseNotification'><arg type='u' direction='in'/></method>"
    "<method name='GetCapabilities'><arg type='as' direction='out'/></method>"
    "<method name='GetServerInformation'><arg type='s' direction='out'/>"
    "<arg type='s' direction='out'/><arg type='s' direction='out'/>"
    "<arg type='s' direction='out'/></method></interface></node>";

// A notification service that writes down every call it gets.
class CFakeDesktop {
public:
    std::vector<std::string> Calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    bool WaitFor(size_t n) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(20), [&] { return m_calls.size() >= n; });
    }
    bool Start(const std::string& address) {
        GError* error = nullptr;
        m_bus = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        if (!m_bus) {
            ADD_FAILURE() << "cannot reach the bus: " << error->message;
            g_error_free(error);
            return false;
        }
        m_context = g_main_context_new();
        m_loop = g_main_loop_new(m_context, FALSE);
        g_main_context_push_thread_default(m_context);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
        static const GDBusInterfaceVTable vtable = {&CFakeDesktop::OnCall, nullptr, nullptr, {}};
        g_dbus_connection_register_object(m_bus, "/org/freedesktop/Notifications",
                                          node->interfaces[0], &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        GVariant* r = g_dbus_connection_call_sync(
            m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.freedesktop.Notifications", 4u), nullptr,
            G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
        g_main_context_pop_thread_default(m_context);
        if (!r) {
            ADD_FAILURE() << "cannot own the name: " << error->message;
            g_error_free(error);
            return false;
        }
        g_variant_unref(r);
        m_thread = std::thread([this] {
            g_main_context_push_thread_default(m_context);
            g_main_loop_run(m_loop);
            g_main_context_pop_thread_default(m_context);
        });
        return true;
    }
    ~CFakeDesktop() {
        if (m_loop) {
            g_main_loop_quit(m_loop);
            if (m_thread.joinable())
                m_thread.join();
            g_main_loop_unref(m_loop);
            g_main_context_unref(m_context);
        }
        if (m_bus) {
            g_dbus_connection_close_sync(m_bus, nullptr, nullptr);
            g_object_unref(m_bus);
        }
    }

private:
    static void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* method, GVariant* params, GDBusMethodInvocation* call,
                       gpointer self) {
        auto* me = static_cast<CFakeDesktop*>(self);
        std::string name = method;
        if (name == "GetServerInformation") {
            g_dbus_method_invocation_return_value(
                call, g_variant_new("(ssss)", "fake", "kvo", "1", "1.2"));
            return;
        }
        if (name == "GetCapabilities") {
            const gchar* caps[] = {"body", nullptr};
            g_dbus_method_invocation_return_value(call, g_variant_new("(^as)", caps));
            return;
        }
        std::lock_guard lock(me->m_mutex);
        if (name == "Notify") {
            const gchar *summary, *body;
            guint32 replaces;
            gint32 timeout;
            g_variant_get_child(params, 1, "u", &replaces);
            g_variant_get_child(params, 3, "&s", &summary);
            g_variant_get_child(params, 4, "&s", &body);
            g_variant_get_child(params, 7, "i", &timeout);
            me->m_calls.push_back("Notify " + std::to_string(replaces) + " " + summary + "|" +
                                  body + "|" + std::to_string(timeout));
            g_dbus_method_invocation_return_value(call, g_variant_new("(u)", 42u));
        } else if (name == "CloseNotification") {
            guint32 id;
            g_variant_get_child(params, 0, "u", &id);
            me->m_calls.push_back("Close " + std::to_string(id));
            g_dbus_method_invocation_return_value(call, nullptr);
        }
        me->m_cv.notify_all();
    }

    GDBusConnection* m_bus = nullptr;
    GMainContext* m_context = nullptr;
    GMainLoop* m_loop = nullptr;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_calls;
};

// A session bus of its own, ended with the test.
class CPrivateBus {
public:
    explicit CPrivateBus(const fs::path& dir) {
        m_socket = (dir / "bus").string();
        fs::path conf = dir / "bus.conf";
        std::ofstream(conf)
            << "<busconfig><type>session</type><listen>unix:path=" << m_socket
            << "</listen><policy context='default'><allow send_destination='*' eavesdrop='true'/>"
               "<allow eavesdrop='true'/>"
               "<allow own='*'/></policy></busconfig>";
        m_pid = kvo::test::StartProgram("/usr/bin/dbus-daemon",
                                        {"--nofork", "--config-file=" + conf.string()}, -1, -1);
        for (int i = 0; i < 1000 && !fs::exists(m_socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~CPrivateBus() {
        kill(m_pid, SIGTERM);
        kvo::test::WaitProgram(m_pid);
    }
    bool Up() const { return fs::exists(m_socket); }
    std::string Address() const { return "unix:path=" + m_socket; }

private:
    std::string m_socket;
    pid_t m_pid = -1;
};

TEST(DesktopNotificationTest, AnAddIsShownAsPlainTextAndARemovalClosesIt) {
    if (!fs::exists("/usr/bin/dbus-daemon"))
        GTEST_SKIP() << "no dbus-daemon";
    kvo::test::TempDevice device;
    CPrivateBus bus(device.Root());
    ASSERT_TRUE(bus.Up());
    CFakeDesktop desktop;
    ASSERT_TRUE(desktop.Start(bus.Address()));
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1);
    unsetenv("KVO_DESKTOP_NOTIFICATIONS");
    kvo::test::ProgramResult r = kvo::test::RunProgram(kvo::test::BuiltProgram("shell_test_helper"),
                                                       {"notify", "7", "1"}, -1, 30000);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(desktop.WaitFor(2));
    EXPECT_EQ(desktop.Calls(),
              (std::vector<std::string>{"Notify 0 title 7|first line\nsecond line, a little "
                                        "longer so lines are not tiny|0",
                                        "Close 42"}));
}

}  // namespace
