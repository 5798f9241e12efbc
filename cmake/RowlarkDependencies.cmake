find_package(Threads REQUIRED)
find_package(ICU 72 REQUIRED COMPONENTS uc i18n)
find_package(RapidJSON REQUIRED)

if(ROWLARK_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

