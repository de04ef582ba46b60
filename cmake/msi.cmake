# Builds the Windows Installer package from res/fegaus.wxs with wixl, then
# completes it with msibuild (Debian packages wixl and msitools). Run by the
# Windows build as
#   cmake -DFEGAUS_MSI_SETTINGS=<file> [-DFEGAUS_MSI_VERSION=x.y.z -DFEGAUS_MSI=<out>] -P msi.cmake
# The settings file, written when the build is configured, names the tools,
# the files to pack, the maker and the package; the two overrides make another
# version of the same product, as the upgrade test needs.

include("${FEGAUS_MSI_SETTINGS}")
if(DEFINED FEGAUS_MSI_VERSION)
    set(fegaus_msi_version "${FEGAUS_MSI_VERSION}")
endif()
if(DEFINED FEGAUS_MSI)
    set(fegaus_msi "${FEGAUS_MSI}")
endif()

# The package records its files' times in its cabinet and its own in its
# summary: all of them are the sources' time, never the moment of the build.
include("${fegaus_source_dir}/cmake/source_date_epoch.cmake")
set(stage "${fegaus_msi}.files")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}")
file(COPY ${fegaus_msi_files} "${fegaus_source_dir}/res/fegaus.ico" DESTINATION "${stage}")
file(GLOB staged "${stage}/*")
execute_process(COMMAND touch -d "@$ENV{SOURCE_DATE_EPOCH}" ${staged} COMMAND_ERROR_IS_FATAL ANY)
set(frozen_clock "")
if(fegaus_faketime)
    string(TIMESTAMP now "%Y-%m-%d %H:%M:%S" UTC)
    set(frozen_clock ${CMAKE_COMMAND} -E env TZ=UTC0 ${fegaus_faketime} -f "${now}")
endif()

# A product code of its own for every version, which a major upgrade needs,
# and the same one for every build of a version; a package code that changes
# whenever what the package holds does.
set(wxs "${fegaus_source_dir}/res/fegaus.wxs")
file(STRINGS "${wxs}" upgrade_line REGEX "UpgradeCode=\"[-0-9A-F]+\"")
string(REGEX REPLACE ".*UpgradeCode=\"([-0-9A-F]+)\".*" "\\1" upgrade_code "${upgrade_line}")
string(UUID product_code NAMESPACE "${upgrade_code}" NAME "FEGAUS ${fegaus_msi_version} win64" TYPE SHA1 UPPER)
set(contents "${fegaus_msi_version}")
foreach(file IN LISTS staged ITEMS "${wxs}")
    file(SHA256 "${file}" hash)
    string(APPEND contents " ${hash}")
endforeach()
string(UUID package_code NAMESPACE "${product_code}" NAME "${contents}" TYPE SHA1 UPPER)

file(REMOVE "${fegaus_msi}")
execute_process(COMMAND ${frozen_clock} ${fegaus_wixl} -a x64
                        -D "Version=${fegaus_msi_version}" -D "ProductCode=${product_code}"
                        -D "Manufacturer=${fegaus_maker_name}" -D "WebAddress=${fegaus_web_address}"
                        -o "${fegaus_msi}" "${wxs}"
                WORKING_DIRECTORY "${stage}" RESULT_VARIABLE failed)
if(failed OR NOT EXISTS "${fegaus_msi}")
    message(FATAL_ERROR "wixl could not build ${fegaus_msi}")
endif()

# What wixl leaves out or sets otherwise: German in the summary's language
# list and the package code there; the short name Windows needs beside a long
# one; the install folder on the system PATH, added by Windows Installer's
# own actions and taken off again when the package is removed; and the report
# folder's ACL, protected from what it would inherit: SYSTEM and Administrators
# alone, so that what the task writes there as SYSTEM stays out of users'
# reach. (msibuild takes the summary after the queries.)
execute_process(COMMAND ${frozen_clock} ${fegaus_msibuild} "${fegaus_msi}"
    -q "UPDATE `File` SET `FileName`='FEGTAEG.CMD|fegaus-taeglich.cmd' WHERE `File`='fegaus_taeglich.cmd'"
    -q "CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)"
    -q "INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('Path', '=-*PATH', '[~];[INSTALLDIR]', 'Program')"
    -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveEnvironmentStrings', 3300)"
    -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteEnvironmentStrings', 5200)"
    -q "CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` LONGCHAR NOT NULL, `Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)"
    -q "INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, `Table`, `SDDLText`) VALUES ('ReportsOnlyForTheSystem', 'REPORTDIR', 'CreateFolder', 'D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)')"
    -s "FEGAUS - Löschen alter Dateien" "${fegaus_maker_name}" "x64;1031" "{${package_code}}"
    RESULT_VARIABLE failed)
if(failed)
    file(REMOVE "${fegaus_msi}")
    message(FATAL_ERROR "msibuild could not complete ${fegaus_msi}")
endif()
