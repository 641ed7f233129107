// The smallest X session manager (XSMP over ICE) that ends a session as a desktop's logout does, for the
// logout row. It prints "SESSION_MANAGER=<address>"; at a line on stdin it asks its one client to save itself
// for a shutdown, and tells it to die once it has. It ends when the client closes the connection.
#include <X11/SM/SMlib.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {
SmsConn g_client = nullptr;
Bool anyHost(char*) { return True; } // a private socket, for one check

// The messages a Qt client sends in a logout, and no others (the library would call a missing callback).
Status newClient(SmsConn, SmPointer, unsigned long* mask, SmsCallbacks* on, char**)
{
    *mask = SmsRegisterClientProcMask | SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask
        | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask;
    *on = {};
    on->register_client.callback
        = [](SmsConn c, SmPointer, char*) { return g_client = c, SmsRegisterClientReply(c, SmsGenerateClientID(c)); };
    on->save_yourself_done.callback = [](SmsConn c, SmPointer, Bool) { SmsDie(c); };
    on->close_connection.callback = [](SmsConn, SmPointer, int, char**) { std::exit(0); };
    on->set_properties.callback = [](SmsConn, SmPointer, int, SmProp**) {};
    on->delete_properties.callback = [](SmsConn, SmPointer, int, char**) {};
    return 1;
}
} // namespace

int main()
{
    char error[256] = "no local ICE socket";
    int count = 0;
    IceListenObj *listeners = nullptr, local = nullptr; // local/...: no client comes over the network
    IceSetIOErrorHandler([](IceConn) { std::exit(1); });
    if (SmsInitialize("scoreboard-tests", "1", newClient, nullptr, anyHost, sizeof error, error)
        && IceListenForConnections(&count, &listeners, sizeof error, error))
        for (int i = 0; i < count; IceSetHostBasedAuthProc(listeners[i++], anyHost))
            if (char* id = IceGetListenConnectionString(listeners[i]); !local && *id == 'l')
                local = listeners[i], std::printf("SESSION_MANAGER=%s\n", id), std::fflush(stdout);
    if (!local)
        return std::fprintf(stderr, "session_manager: %s\n", error), 1;
    for (IceConn client = nullptr;;) {
        pollfd fds[] = { { IceGetListenConnectionNumber(local), POLLIN, 0 }, { STDIN_FILENO, POLLIN, 0 },
            { client ? IceConnectionNumber(client) : -1, POLLIN, 0 } };
        char line[64];
        IceAcceptStatus status;
        poll(fds, 3, -1);
        if (fds[0].revents)
            client = IceAcceptConnection(local, &status);
        if (fds[1].revents && (read(STDIN_FILENO, line, sizeof line) <= 0 || !g_client))
            return 1;
        if (fds[1].revents)
            SmsSaveYourself(g_client, SmSaveBoth, True, SmInteractStyleAny, False);
        if (fds[2].revents && IceProcessMessages(client, nullptr, nullptr) == IceProcessMessagesIOError)
            return 1;
    }
}
