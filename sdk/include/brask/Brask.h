// The whole host SDK contract.
#pragma once

#include "brask/ClassIds.h"
#include "brask/CoreString.h"
#include "brask/FileSys.h"
#include "brask/Geometry.h"
#include "brask/Graphics.h"
#include "brask/Guid.h"
#include "brask/IClassFactory.h"
#include "brask/IDictionary.h"
#include "brask/IO.h"
#include "brask/IObject.h"
#include "brask/Logger.h"
#include "brask/ObjectCounter.h"
#include "brask/Plugin.h"
#include "brask/Status.h"
#include "brask/TInterfacePtr.h"
#include "brask/TObject.h"
