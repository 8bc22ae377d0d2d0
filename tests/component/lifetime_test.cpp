// Class objects, reference counts, unloading, the apartment rule and libraries that are not plug-ins.
#include <gtest/gtest.h>

#include <thread>

#include "c_client.h"
#include "plugin.hpp"
#include "temp_dir.hpp"

namespace {

constexpr twc_dispid addFile = 0x60030007, File = 0x68030001;

TEST(Lifetime, CanUnloadExactlyWhenNoControlFactoryOrLockIsAlive) {
    twhost::library lib(test::writer_path);
    EXPECT_TRUE(lib.can_unload());
    twc_control* c = test::create(lib);
    EXPECT_FALSE(lib.can_unload());
    EXPECT_EQ(c->vtbl->add_ref(c), 2u);
    EXPECT_EQ(c->vtbl->release(c), 1u);
    EXPECT_FALSE(lib.can_unload());
    EXPECT_EQ(c->vtbl->release(c), 0u);
    EXPECT_TRUE(lib.can_unload());

    // A second handle loads the same library: it shares the count.
    twhost::library same(test::writer_path);
    twc_control* second = test::create(same);
    EXPECT_FALSE(lib.can_unload());
    second->vtbl->release(second);
    EXPECT_TRUE(lib.can_unload());
}

TEST(Lifetime, FactoriesAndServerLocksKeepTheLibrary) {
    twhost::library lib(test::reader_path);
    const twc_guid clsid = test::class_of(lib).type_info->class_id;
    // DllGetClassObject through the loaded library: the factory is a live object.
    const twhost::library::entry_table e = lib.entry_points();
    void* out = nullptr;
    ASSERT_EQ(e.get_class_object(&clsid, &TWC_IID_CLASS_FACTORY, &out), TWC_OK);
    auto* factory = static_cast<twc_class_factory*>(out);
    EXPECT_FALSE(lib.can_unload());
    ASSERT_EQ(factory->vtbl->lock_server(factory, 1), TWC_OK);
    EXPECT_EQ(factory->vtbl->release(factory), 0u);
    EXPECT_FALSE(lib.can_unload());  // the lock outlives the factory
    ASSERT_EQ(e.get_class_object(&clsid, &TWC_IID_CLASS_FACTORY, &out), TWC_OK);
    factory = static_cast<twc_class_factory*>(out);
    ASSERT_EQ(factory->vtbl->lock_server(factory, 0), TWC_OK);
    EXPECT_EQ(factory->vtbl->lock_server(factory, 0), TWC_E_INVALID_ARG);  // more unlocks than locks
    factory->vtbl->release(factory);
    EXPECT_TRUE(lib.can_unload());
}

TEST(Lifetime, ClassObjectsAreOfferedOnlyForTheLibrarysClass) {
    twhost::library lib(test::writer_path);
    const twhost::library::entry_table e = lib.entry_points();
    const twc_guid clsid = test::class_of(lib).type_info->class_id;
    const twc_guid other = twhost::library(test::reader_path).class_info().type_info->class_id;
    void* out = &out;
    EXPECT_EQ(e.get_class_object(&other, &TWC_IID_CLASS_FACTORY, &out), TWC_E_CLASS_NOT_AVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(e.get_class_object(&clsid, &clsid, &out), TWC_E_NO_INTERFACE);
    EXPECT_EQ(e.get_class_object(nullptr, &TWC_IID_CLASS_FACTORY, &out), TWC_E_INVALID_ARG);
    ASSERT_EQ(e.get_class_object(&clsid, &TWC_IID_CLASS_INFO, &out), TWC_OK);
    EXPECT_EQ(out, &test::class_of(lib));
}

TEST(Lifetime, UnloadingWhileAControlLivesIsRefused) {
    twhost::library lib(test::writer_path);
    twc_control* c = test::create(lib);
    EXPECT_THROW(lib.unload(), twhost::host_error);
    // The library is still there: the control answers.
    EXPECT_EQ(test::text(test::get(c, File)), u"None");
    c->vtbl->release(c);
    EXPECT_NO_THROW(lib.unload());
}

TEST(Apartment, AnotherThreadIsRefusedAndNothingRuns) {
    twhost::library lib(test::writer_path);
    test::control_ref c(test::create(lib));
    test::temp_dir dir;
    const std::string path = dir / "other-thread.ini";
    test::outcome o;
    twc_status names = TWC_OK, extent = TWC_OK;
    std::uint32_t references = 0;
    std::thread([&] {
        o = test::call(c.get(), addFile, {test::str(test::u16(path))});
        twc_dispid id = 0;
        names = c->vtbl->get_ids_of_names(c.get(), "addFile", &id);
        twc_extent kept{};
        extent = c->vtbl->set_extent(c.get(), {1, 1}, &kept);
        references = c->vtbl->add_ref(c.get());
        c->vtbl->release(c.get());
    }).join();
    EXPECT_EQ(o.status, TWC_E_WRONG_THREAD);
    EXPECT_EQ(o.number, 440);
    EXPECT_NE(o.message.find("another thread"), std::string::npos) << o.message;
    EXPECT_FALSE(test::exists(path));
    EXPECT_EQ(names, TWC_E_WRONG_THREAD);
    EXPECT_EQ(extent, TWC_E_WRONG_THREAD);
    EXPECT_EQ(references, 2u);  // reference counting works from any thread
    // The creating thread is still served.
    EXPECT_EQ(test::call(c.get(), addFile, {test::str(test::u16(path))}).status, TWC_OK);
    EXPECT_TRUE(test::exists(path));
}

TEST(Loading, FailuresNameThePathAndTheLoadersReason) {
    test::temp_dir dir;
    test::write_file(dir / "text.so", "not a library");
    try {
        twhost::library lib(dir / "text.so");
        FAIL() << "a text file loaded";
    } catch (const twhost::host_error& e) {
        EXPECT_NE(std::string(e.what()).find(dir / "text.so"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("cannot load"), std::string::npos) << e.what();
    }
    EXPECT_THROW(twhost::library(dir / "missing.so"), twhost::host_error);
    try {
        twhost::library lib(TARNWICK_PLAIN_LIBRARY);
        FAIL() << "a library without entry points loaded";
    } catch (const twhost::host_error& e) {
        EXPECT_NE(std::string(e.what()).find("does not export DllRegisterServer"), std::string::npos)
            << e.what();
    }
}

TEST(CHost, DrivesAControlThroughTheHeaderAlone) {
    twhost::library lib(test::writer_path);
    const twc_guid clsid = test::class_of(lib).type_info->class_id;
    EXPECT_EQ(c_client_round_trip(lib.entry_points().get_class_object, &clsid), -1);
    EXPECT_TRUE(lib.can_unload());
}

}  // namespace
