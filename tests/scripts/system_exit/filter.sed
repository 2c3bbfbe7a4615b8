s|^/.*/ordena-script\.[^/]*$|<work>|
