#pragma once
#include "sdk/HostHeap.h"

class BaseInterfaceServer : public MaxHeapOperators {
public:
    virtual ~BaseInterfaceServer() = default;
};
class InterfaceServer : public MaxHeapOperators {
public:
    virtual ~InterfaceServer() = default;
};
