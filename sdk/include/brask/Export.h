// Symbol visibility of the SDK contract: everything declared here is shared by host and plug-ins.
#pragma once

#define BRASK_SDK_API __attribute__((visibility("default")))
