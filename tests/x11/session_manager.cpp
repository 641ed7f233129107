// The smallest X session manager (XSMP over ICE) that ends a session as a desktop's logout does, so the
// real-window checks can end one with the program in it.
//
//   session_manager   prints "SESSION_MANAGER=<address>" once it listens; then for the one client that
//                     registers it prints "registered", waits for a line "logout" on stdin, asks the client to
//                     save itself for a shutdown, and once it has ("saved") tells it to die; it ends when the
//                     client closes the connection ("closed") or drops it ("dropped").
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

SmsConn g_client = nullptr;

void say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

Bool anyHost(char*) { return True; } // a private socket, for one test

Status registerClient(SmsConn conn, SmPointer, char*)
{
    g_client = conn;
    say("registered");
    return SmsRegisterClientReply(conn, SmsGenerateClientID(conn));
}

void interactRequest(SmsConn conn, SmPointer, int) { SmsInteract(conn); }
void interactDone(SmsConn, SmPointer, Bool) { }
void saveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) { }
void saveYourselfPhase2Request(SmsConn conn, SmPointer) { SmsSaveYourselfPhase2(conn); }

void saveYourselfDone(SmsConn conn, SmPointer, Bool success)
{
    say(success ? "saved" : "not saved");
    SmsDie(conn);
}

void closeConnection(SmsConn conn, SmPointer, int count, char** reasons)
{
    SmFreeReasons(count, reasons);
    SmsCleanUp(conn);
    say("closed");
    std::exit(EXIT_SUCCESS);
}

void setProperties(SmsConn, SmPointer, int count, SmProp** props)
{
    for (int i = 0; i < count; ++i)
        SmFreeProperty(props[i]);
    std::free(props);
}

void deleteProperties(SmsConn, SmPointer, int count, char** names)
{
    for (int i = 0; i < count; ++i)
        std::free(names[i]);
    std::free(names);
}

void getProperties(SmsConn conn, SmPointer) { SmsReturnProperties(conn, 0, nullptr); }

Status newClient(SmsConn, SmPointer, unsigned long* mask, SmsCallbacks* callbacks, char**)
{
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask
        | SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask
        | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask
        | SmsGetPropertiesProcMask;
    *callbacks = {};
    callbacks->register_client.callback = registerClient;
    callbacks->interact_request.callback = interactRequest;
    callbacks->interact_done.callback = interactDone;
    callbacks->save_yourself_request.callback = saveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = saveYourselfPhase2Request;
    callbacks->save_yourself_done.callback = saveYourselfDone;
    callbacks->close_connection.callback = closeConnection;
    callbacks->set_properties.callback = setProperties;
    callbacks->delete_properties.callback = deleteProperties;
    callbacks->get_properties.callback = getProperties;
    return 1;
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "session_manager: %s\n", what);
    std::exit(EXIT_FAILURE);
}

} // namespace

int main()
{
    // A client that goes away is reported below, not by the library's exit.
    IceSetIOErrorHandler([](IceConn) {});
    char error[256] = {};
    if (!SmsInitialize("scoreboard-tests", "1", newClient, nullptr, anyHost, sizeof error, error))
        fail(error);
    int count = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&count, &listeners, sizeof error, error))
        fail(error);
    // Only the local socket is offered, so no client can come over the network.
    IceListenObj local = nullptr;
    for (int i = 0; i < count; ++i) {
        IceSetHostBasedAuthProc(listeners[i], anyHost);
        char* id = IceGetListenConnectionString(listeners[i]);
        if (!local && std::strncmp(id, "local/", 6) == 0) {
            local = listeners[i];
            std::printf("SESSION_MANAGER=%s\n", id);
            std::fflush(stdout);
        }
        std::free(id);
    }
    if (!local)
        fail("no local ICE socket to listen on");

    IceConn client = nullptr;
    std::string input;
    while (true) {
        std::vector<pollfd> fds { { IceGetListenConnectionNumber(local), POLLIN, 0 }, { STDIN_FILENO, POLLIN, 0 } };
        if (client)
            fds.push_back({ IceConnectionNumber(client), POLLIN, 0 });
        if (poll(fds.data(), fds.size(), -1) < 0)
            fail("poll failed");
        if (fds[0].revents & POLLIN) {
            IceAcceptStatus status;
            client = IceAcceptConnection(local, &status);
            if (!client)
                fail("could not accept the client");
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buffer[64];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0)
                fail("stdin closed before a logout");
            input.append(buffer, static_cast<size_t>(n));
            if (input.find("logout\n") != std::string::npos) {
                if (!g_client)
                    fail("logout asked before any client registered");
                input.clear();
                SmsSaveYourself(g_client, SmSaveBoth, True, SmInteractStyleAny, False);
            }
        }
        if (client && fds.size() > 2 && (fds[2].revents & (POLLIN | POLLHUP))
            && IceProcessMessages(client, nullptr, nullptr) == IceProcessMessagesIOError) {
            say("dropped");
            return EXIT_SUCCESS;
        }
    }
}
