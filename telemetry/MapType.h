#pragma once

// Map service of the map page, as stored in the settings. Any other value
// loads the OpenStreetMap page.
enum MapType {
    Google = 1,
    Baidu = 2,
    OSMap = 3,
    Bing = 4,
};
