#pragma once
// The socket waits shared by the network clients: deadlines on the steady clock, a poll that
// can hand control back every slice (so a window can repaint while it waits), a connect with
// a time limit.
#include <sys/socket.h>

#include <functional>

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
