// Class and interface ids shared by the host and the plug-in.
#pragma once

#include "brask/Guid.h"

namespace BRASK::CLSID {

// Host classes made through the class factory.
constexpr GUID SystemDirContainer = MakeGuid(0xAEEF6E20, 0x3F08, 0x41B5, 0xB460, 0xBA2E288A7651);
constexpr GUID URI = MakeGuid(0x2517B49E, 0xBCE5, 0x404C, 0x8524, 0x3A6EC3C3B633);
constexpr GUID URIRegistry = MakeGuid(0xF4D121D7, 0xC7AD, 0x494F, 0x8AF8, 0xE08759D96F64);
constexpr GUID PersistentDictionary = MakeGuid(0x73E90CD5, 0xBBC6, 0x4326, 0x8241, 0x9BB4250B1B05);
constexpr GUID GraphicsEnvironment = MakeGuid(0x0E3AB369, 0x91A7, 0x4748, 0x883F, 0xE5F40300D624);
constexpr GUID Tile = MakeGuid(0x9FE609EB, 0xDA16, 0x4AAD, 0xA203, 0x72F324921DCA);
constexpr GUID SystemFile = MakeGuid(0xF123396E, 0x0378, 0x4B45, 0x82E5, 0x657170E31A2A);
constexpr GUID SystemDir = MakeGuid(0x09793317, 0x62F9, 0x4859, 0x8FBA, 0x8AB041611EC9);
constexpr GUID MemoryDataProvider = MakeGuid(0x2932BFBD, 0x9AA3, 0x454F, 0xBEFF, 0xEBC9BEEF0F0F);
constexpr GUID PhotoShopResourceParser = MakeGuid(0x142493A8, 0x5303, 0x482F, 0xB62D, 0x448D2A469055);
constexpr GUID CmmTransform = MakeGuid(0x8E0F1082, 0x0BA1, 0x4222, 0x9F4A, 0x478C7D63EE31);
constexpr GUID RasterComponent = MakeGuid(0x1CC29048, 0xC5C6, 0x4AB2, 0xAE35, 0x3B640C61D8E9);
// Host-only helper class: the GUID list a host hands to GetInterfaceIDs / GetClassIDs.
constexpr GUID GuidList = MakeGuid(0xF8434773, 0xC7C1, 0x4A39, 0x9489, 0xACA7A3C4C873);

// Keys of attached interfaces.
constexpr GUID DiscoveryServiceKey = MakeGuid(0x9977DE0F, 0x71DC, 0x44B9, 0x9B40, 0x27F76A7B3165);
constexpr GUID FilterDictionaryKey = PersistentDictionary;
constexpr GUID ConnectionSpaceKey = MakeGuid(0x2AEE1201, 0x61E3, 0x415F, 0xBF42, 0x4DAB965FAE87);
constexpr GUID ClippingPathKey = MakeGuid(0x4A31110F, 0x1138, 0x4F14, 0x8087, 0xD16D76259F40);
constexpr GUID AdaptorIdentityKey = MakeGuid(0xCC44E86D, 0xA586, 0x41B2, 0xA228, 0x5673C92EAB19);

// What the EPS plug-in offers.
constexpr GUID PluginClassFactoriesIID = MakeGuid(0x937382D8, 0x98F7, 0x4613, 0x8212, 0x5EEAF4EDED31);
constexpr GUID CompositeGraphicIID = MakeGuid(0x25A96186, 0x154A, 0x443F, 0xBDDD, 0xD576632E1F31);
constexpr GUID FirstOfferedIID = MakeGuid(0xFC3E0E3F, 0x9589, 0x4FE6, 0x9D08, 0xE339589B791C);
constexpr GUID SecondOfferedIID = MakeGuid(0xE3B17BEA, 0x629A, 0x4DDD, 0x9FDD, 0xF2E11F6B6133);
constexpr GUID EPSCompositeGraphic = MakeGuid(0xCCF4B0EF, 0xFADF, 0x4733, 0xBA29, 0x22B463E57C06);
constexpr GUID SecondOfferedClass = MakeGuid(0xD20635BE, 0x4740, 0x4F85, 0xB6F1, 0xA0CADD148571);

} // namespace BRASK::CLSID
