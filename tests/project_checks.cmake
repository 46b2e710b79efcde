# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT

# The desktop entry and the AppStream metadata as software centres and menus read them.
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
    add_test(NAME validate_desktop_entry
             COMMAND ${DESKTOP_FILE_VALIDATE}
                     ${PROJECT_SOURCE_DIR}/resources/io.github.sheafwright.Sheafwright.desktop)
    set_tests_properties(validate_desktop_entry PROPERTIES TIMEOUT 30)
endif()
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
    add_test(NAME validate_metainfo
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_metainfo.sh ${APPSTREAMCLI}
                     ${PROJECT_SOURCE_DIR}/resources/io.github.sheafwright.Sheafwright.metainfo.xml)
    set_tests_properties(validate_metainfo PROPERTIES TIMEOUT 30)
endif()

# One record of releases; the manual pages as man shows them; licences and
# copyright for every file.
set(manuals ${PROJECT_SOURCE_DIR}/docs/sheafwright.1 ${PROJECT_SOURCE_DIR}/docs/sheafwright.ko.1)
add_test(NAME release_notes
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_release_notes.sh ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                 ${PROJECT_SOURCE_DIR}/resources/io.github.sheafwright.Sheafwright.metainfo.xml
                 ${PROJECT_VERSION} ${manuals})
set_tests_properties(release_notes PROPERTIES TIMEOUT 30)
find_program(GROFF groff)
find_program(MAN man)
if(GROFF AND MAN)
    add_test(NAME manual_pages COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_manuals.sh ${manuals})
    set_tests_properties(manual_pages PROPERTIES TIMEOUT 30)
endif()
find_program(REUSE reuse)
if(REUSE)
    # Quiet when all is well; otherwise the whole report, which names the files at fault.
    add_test(NAME reuse_lint
             COMMAND sh -c "out=$(\"$0\" --root \"$1\" lint 2>&1) || { echo \"$out\"; exit 1; }"
                     ${REUSE} ${PROJECT_SOURCE_DIR})
    set_tests_properties(reuse_lint PROPERTIES TIMEOUT 60)
endif()

find_program(GIT git)
if(GIT)
    add_test(NAME build_folder_ignored COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_build_folder.sh ${PROJECT_SOURCE_DIR})
    set_tests_properties(build_folder_ignored PROPERTIES TIMEOUT 120)
endif()

# The Debian package: its files, its dependencies, and lintian.
find_program(DPKG_DEB dpkg-deb)
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(LINTIAN lintian)
if(DPKG_DEB AND DPKG_SHLIBDEPS AND LINTIAN)
    add_test(NAME debian_package
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_deb.sh
                     ${CMAKE_CPACK_COMMAND} ${PROJECT_BINARY_DIR}/CPackConfig.cmake $<CONFIG> ${LINTIAN})
    set_tests_properties(debian_package PROPERTIES TIMEOUT 180)
endif()

