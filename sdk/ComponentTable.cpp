#include "sdk/ComponentTable.h"

const std::array<SdkComponent, 2> ComponentTable = {{
    {L"vexo_steering_wheel_x64.dll", Vexo::Resources::Dll},
    {L"vexo_steering_wheel_x86.dll", Vexo::Resources::Dll},
}};
