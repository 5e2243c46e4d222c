#include "Vantrel/SysPara.h"

#include <algorithm>

SYSPARA::SYSPARA(HWND parent) : triggers(parent)
{
    PointAtOwnRecords();
}

SYSPARA::SYSPARA(const SYSPARA& other) : BASICSYSPARA(), triggers(other.triggers.parent)
{
    PointAtOwnRecords();
    *this = other;
}

SYSPARA& SYSPARA::operator=(const SYSPARA& other)
{
    if (this == &other)
        return *this;
    channels = other.channels;
    modeWordA = other.modeWordA;
    realtime = other.realtime;
    modeWordB = other.modeWordB;
    modeWordC = other.modeWordC;
    modeWordD = other.modeWordD;
    std::copy(std::begin(other.settings), std::end(other.settings), std::begin(settings));
    levelPara = other.levelPara;
    delayPara = other.delayPara;
    triggers = other.triggers;
    inputPara[0] = other.inputPara[0];
    inputPara[1] = other.inputPara[1];
    for (int i = 0; i < SYSPARA_OUTPUT_COUNT; ++i)
        output[i] = other.output[i];
    for (int d = 0; d < 2; ++d)
        for (int c = 0; c < 2; ++c)
            routingTable[d][c] = other.routingTable[d][c];
    return *this;
}

SYSPARA::~SYSPARA() = default;

void SYSPARA::Destroy()
{
    delete this;
}

void SYSPARA::PointAtOwnRecords()
{
    input[0] = &inputPara[0];
    input[1] = &inputPara[1];
    for (int d = 0; d < 2; ++d)
        for (int c = 0; c < 2; ++c)
            routing[d][c] = &routingTable[d][c];
    delay = &delayPara;
    level = &levelPara;
}
