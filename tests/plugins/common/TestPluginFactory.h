#pragma once

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/ipluginbase.h"

namespace talven::testplugin {

// One class a test plug-in offers. create answers a new object holding one
// reference.
struct TestClass {
    Steinberg::FUID cid;
    const char* category;
    const char* name;
    Steinberg::uint32 classFlags;
    const char* subCategories;
    Steinberg::FUnknown* (*create)();
};

// What GetPluginFactory serves: the factory info and the classes in order.
// factoryVersion 1, 2 or 3 says which of IPluginFactory, IPluginFactory2 and
// IPluginFactory3 the factory answers, to test hosts against older factories.
struct TestFactoryDescription {
    const char* vendor;
    const char* url;
    const char* email;
    const TestClass* classes;
    int classCount;
    int factoryVersion;
};

// A new factory over the description (which must outlive it), holding one
// reference.
Steinberg::IPluginFactory* makeFactory(const TestFactoryDescription& description);

} // namespace talven::testplugin
