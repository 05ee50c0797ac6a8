#pragma once

#include <atomic>

// The count-down of a test hook that injects one failure: after arm (n) the
// n-th call of fails() from then on (0 = the next one) returns true, once,
// whichever thread makes it; arm (-1) cancels. Unarmed, fails() costs one
// atomic load.
class FailureCountdown
{
public:
    void arm (int n) { callsBeforeFailure = n; }

    // True while an armed failure has not happened yet.
    bool pending() const { return callsBeforeFailure >= 0; }

    bool fails()
    {
        int left = callsBeforeFailure.load();

        while (left >= 0)
            if (callsBeforeFailure.compare_exchange_weak (left, left - 1))
                return left == 0;

        return false;
    }

private:
    std::atomic<int> callsBeforeFailure{-1};
};
