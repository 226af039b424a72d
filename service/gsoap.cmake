# Generates the seal service binding from seal_service.wsdl with Debian's
# gSOAP 2.8 tools at build time, and provides the gSOAP runtime:
#   qex_gsoap_generate(<var> <outdir> <-C|-S>)  sets <var> to the generated sources
#   qex_gsoap_runtime                          target: libgsoap++ natively,
#                                              stdsoap2.cpp from the Debian source package on Windows
# Flags: wsdl2h -s gives char* texts (no std::string), -L no licence notice;
# soapcpp2 -1 SOAP 1.1 namespaces, -j proxy/service classes sharing one
# soap context, -x no sample messages, -L no soapClientLib.
include_guard(GLOBAL)

find_program(QEX_WSDL2H wsdl2h REQUIRED)
find_program(QEX_SOAPCPP2 soapcpp2 REQUIRED)
set(QEX_GSOAP_IMPORT_DIR /usr/share/gsoap/import CACHE PATH "gSOAP import folder (stlvector.h etc.)")

function(qex_gsoap_generate var outdir side)
  set(QEX_SEAL_WSDL ${CMAKE_SOURCE_DIR}/service/seal_service.wsdl)
  set(QEX_SEAL_TYPEMAP ${CMAKE_SOURCE_DIR}/service/typemap.dat)
  set(header ${outdir}/seal_service.h)
  if(side STREQUAL "-C")
    set(files soapC.cpp soapQexSealServiceServiceSoapBindingProxy.cpp)
    set(extra soapQexSealServiceServiceSoapBindingProxy.h)
  else()
    set(files soapC.cpp soapQexSealServiceServiceSoapBindingService.cpp)
    set(extra soapQexSealServiceServiceSoapBindingService.h)
  endif()
  set(outputs)
  foreach(f ${files} ${extra} soapH.h soapStub.h QexSealServiceServiceSoapBinding.nsmap)
    list(APPEND outputs ${outdir}/${f})
  endforeach()
  add_custom_command(
    OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}
    COMMAND ${QEX_WSDL2H} -L -s -t ${QEX_SEAL_TYPEMAP} -o ${header} ${QEX_SEAL_WSDL}
    DEPENDS ${QEX_SEAL_WSDL} ${QEX_SEAL_TYPEMAP}
    COMMENT "wsdl2h seal_service.wsdl"
    VERBATIM)
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${QEX_SOAPCPP2} -1 -j -x -L ${side} -I${QEX_GSOAP_IMPORT_DIR} -d ${outdir} ${header}
    DEPENDS ${header}
    COMMENT "soapcpp2 ${side} seal_service.h"
    VERBATIM)
  set(srcs)
  foreach(f ${files})
    list(APPEND srcs ${outdir}/${f})
  endforeach()
  set(${var} ${srcs} PARENT_SCOPE)
endfunction()

if(WIN32)
  set(QEX_GSOAP_SRC /var/cache/qextivara/gsoap-src/gsoap CACHE PATH
      "gSOAP runtime sources (Debian source package, fetched by scripts/setup.sh)")
  if(NOT EXISTS ${QEX_GSOAP_SRC}/stdsoap2.cpp)
    message(FATAL_ERROR "gSOAP runtime sources missing in ${QEX_GSOAP_SRC}: run scripts/setup.sh")
  endif()
  add_library(qex_gsoap_runtime STATIC ${QEX_GSOAP_SRC}/stdsoap2.cpp)
  # Third-party code: its warnings are not ours to fix.
  target_compile_options(qex_gsoap_runtime PRIVATE -w)
  target_include_directories(qex_gsoap_runtime PUBLIC ${QEX_GSOAP_SRC})
  target_link_libraries(qex_gsoap_runtime PUBLIC ws2_32)
else()
  find_package(PkgConfig REQUIRED)
  # WITH_IPV6 and WITH_DOM change the layout of struct soap: they must match
  # the way Debian built libgsoap++.
  pkg_check_modules(QEX_GSOAPXX REQUIRED IMPORTED_TARGET gsoap++)
  add_library(qex_gsoap_runtime INTERFACE)
  target_link_libraries(qex_gsoap_runtime INTERFACE PkgConfig::QEX_GSOAPXX)
endif()
