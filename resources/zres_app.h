// Resource ids of the application: start-up, splash and About.
#pragma once
