#pragma once
// The socket waits shared by the network clients: deadlines on the steady clock, a poll that
// can hand control back every slice (so a window can repaint while it waits), a connect with
// a time limit.
#include <sys/socket.h>

#include <functional>
#include <string_view>

// Milliseconds of the steady clock.
long long SteadyNowMs();

// Waits for the events on fd until the deadline: 1 ready, 0 timed out, -1 failed. With a
// slice function the wait returns to it every sliceMs.
int WaitFd(int fd, short events, long long deadline, const std::function<void()>& slice = {},
           int sliceMs = 50);

// A non-blocking connect to the address within the deadline; the socket, or -1 with errno set
// (ETIMEDOUT when the deadline passed).
int ConnectTo(const sockaddr* addr, socklen_t len, long long deadline,
              const std::function<void()>& slice = {});

// Sends all of data within limitMs: 1 sent, 0 timed out, -1 failed (errno set). With
// perStall the limit applies to each stall of the peer rather than to the whole send.
int SendAll(int fd, std::string_view data, int limitMs, bool perStall = false,
            const std::function<void()>& slice = {});
