# Generic ICC profiles in the application folder's Profiles folder, where the colour translator looks them
# up: copies of Ghostscript's default profiles (package libgs-common). configure_file re-runs the copy
# whenever a source profile changes.
set(BRASK_PROFILE_SOURCE_DIR /usr/share/color/icc/ghostscript CACHE PATH "Folder of the generic ICC profiles")
set(BRASK_PROFILES_DIR ${BRASK_APP_DIR}/Profiles)
foreach(pair "default_cmyk.icc:BraskGenericCMYK.icc" "default_rgb.icc:BraskGenericRGB.icc"
             "default_gray.icc:BraskGenericGray.icc")
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 source)
    list(GET pair 1 target)
    if(EXISTS ${BRASK_PROFILE_SOURCE_DIR}/${source})
        configure_file(${BRASK_PROFILE_SOURCE_DIR}/${source} ${BRASK_PROFILES_DIR}/${target} COPYONLY)
    else()
        message(WARNING "${BRASK_PROFILE_SOURCE_DIR}/${source} is missing (package libgs-common): "
                        "${target} is not installed and colour translation falls back to fixed paths")
    endif()
endforeach()
